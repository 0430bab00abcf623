// The run parameters: fit type, sin θ cut-offs, OMIT and the screening
// constants.
#pragma once

#include <cstdint>
#include <string>

#include "input/crystal_data.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

struct RunParameters {
    std::int32_t parameter_count = 0;  // 24, 18, 12, 6
    std::int32_t terms = 0;            // polynomial terms: 4, 3, 2, 1
    std::int32_t top_power = 0;        // 3, 2, 1, 0
    float sin_theta_min = 0.0f;
    float sin_theta_max = 1.0f;
    float omit = 3.0f;                // reject when Fo² < OMIT·σ(Fo²)
    float extinction_ratio = 0.5f;    // low-angle test: Fo² ≥ ratio·Fc²
    float extinction_limit = 0.0f;    // b = 0.35·√λ; low angle when sin²θ ≤ b²
    float ceiling_fraction = 0.25f;   // Fo²/E ≤ fraction·F(000)²
};

// Settles the run parameters: by the fit-type letter of the command line,
// or after asking whether the user wants to set them (and then by the
// dialogue), and echoes them.  `fit_type` is the fit-type field (letter C,
// Q, L, F or N on entry; the 26-character description and blanks on exit).
RunParameters settle_fit_options(float lambda, std::string& fit_type, textio::OutputChannel& console,
                                 textio::InputChannel& keyboard);

// Both halves in one: the crystal data, then the run parameters.
void getnfo(const std::string& res_name, const std::string& fcf_name, std::string& fit_type,
            CrystalData& crystal, RunParameters& parameters, textio::OutputChannel& console,
            textio::InputChannel& keyboard);

}  // namespace velor::input
