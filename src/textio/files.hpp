// Opening the input files of a run, and the stop the run makes when a file
// it needs is not there.
#pragma once

#include <memory>
#include <string>

#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::textio {

// Shows "THERE IS NO SUCH FILE AS " and the name, as a field of 80 columns
// or more, on the console and ends the run (exit status 1: the run could
// not do its work).
[[noreturn]] void missing_file_stop(OutputChannel& console, const std::string& name);

// Opens a file that must exist; if it does not, the missing-file stop.
std::unique_ptr<InputFile> open_or_stop(const std::string& name, OutputChannel& console);

// Opens a file that must exist; if it does not, a fatal record error.
std::unique_ptr<InputFile> open_or_fail(const std::string& name);

}  // namespace velor::textio
