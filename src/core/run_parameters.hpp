// What the fit is asked to be: the command line's request, and the run
// parameters settled from it (or from the dialogue).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velor::core {

struct RunParameters {
    char fit_letter = 'N';             // C, Q, L or F once settled
    std::string_view fit_description;  // "cubic (24 parameters)     " ..., 26 characters
    std::int32_t parameter_count = 0;  // 24, 18, 12, 6
    std::int32_t terms = 0;            // polynomial terms: 4, 3, 2, 1
    std::int32_t top_power = 0;        // 3, 2, 1, 0: one above the highest power of sin²θ
    float sin_theta_min = 0.0f;
    float sin_theta_max = 1.0f;
    float omit = 3.0f;                // reject when Fo² < OMIT·σ(Fo²)
    float extinction_ratio = 0.5f;    // low-angle test: Fo² ≥ ratio·Fc²
    float extinction_limit = 0.0f;    // b = 0.35·√λ; low angle when sin²θ ≤ b²
    float ceiling_fraction = 0.25f;   // Fo²/E ≤ fraction·F(000)²
};

// What the command line says about the fit: the fit-type letter (C, Q, L,
// F, or N for none) and values that take the place of the default cut-offs
// and OMIT.  With any value given, the run asks nothing and takes the fit
// type of the letter, or without one the default for the wavelength.
struct FitRequest {
    char letter = 'N';
    std::optional<float> sin_theta_min, sin_theta_max, omit;

    bool names_values() const { return sin_theta_min || sin_theta_max || omit; }
};

}  // namespace velor::core
