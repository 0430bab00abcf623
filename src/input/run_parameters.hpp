// The run parameters: fit type, sin θ cut-offs, OMIT and the screening
// constants, settled by the command line or the dialogue.
#pragma once

#include "core/crystal_data.hpp"
#include "core/run_parameters.hpp"
#include "input/file_names.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

// Settles the run parameters: by the command line, or after asking whether
// the user wants to set them (and then by the dialogue), and echoes them.
core::RunParameters settle_fit_options(float lambda, const core::FitRequest& request,
                                       textio::OutputChannel& console, textio::InputChannel& keyboard);

// What the refinement's files and the command line or the dialogue settle
// before the fit.
struct RunInformation {
    core::CrystalData crystal;
    core::RunParameters parameters;
};

// Both halves in one: the crystal data, then the run parameters.
RunInformation getnfo(const FileNames& names, const core::FitRequest& request, textio::OutputChannel& console,
                      textio::InputChannel& keyboard);

}  // namespace velor::input
