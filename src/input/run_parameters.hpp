// The run parameters: fit type, sin θ cut-offs, OMIT and the screening
// constants, settled by the command line or the dialogue.
#pragma once

#include <string>

#include "core/crystal_data.hpp"
#include "core/run_parameters.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

// Settles the run parameters: by the command line, or after asking whether
// the user wants to set them (and then by the dialogue), and echoes them.
core::RunParameters settle_fit_options(float lambda, const core::FitRequest& request,
                                       textio::OutputChannel& console, textio::InputChannel& keyboard);

// Both halves in one: the crystal data, then the run parameters.
void getnfo(const std::string& res_name, const std::string& fcf_name, const core::FitRequest& request,
            core::CrystalData& crystal, core::RunParameters& parameters, textio::OutputChannel& console,
            textio::InputChannel& keyboard);

}  // namespace velor::input
