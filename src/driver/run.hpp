// One run of the program, from the banner to the exit status.
#pragma once

#include <istream>
#include <ostream>

#include "driver/command_line.hpp"
#include "textio/output_channel.hpp"

namespace velor::driver {

// The version of the program, as --version and the summaries give it.
extern const char* const kVersion;

// Runs the steps in order for the parsed command line, with the given
// keyboard, console and error stream; `console_flush` each_record when the
// console is a terminal.  Returns the exit status: 0 done, 1 the run could
// not be done for a reason it names, 2 a fatal record error (unreadable
// input, or a failed read or write) or a summary file that would replace a
// file of the run.
int run(const CommandLine& command_line, std::istream& keyboard, std::ostream& console, std::ostream& errors,
        textio::ConsoleChannel::Flush console_flush = textio::ConsoleChannel::Flush::buffered);

}  // namespace velor::driver
