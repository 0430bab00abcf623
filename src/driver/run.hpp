// One run of the program, from the banner to the exit status.
#pragma once

#include <istream>
#include <ostream>
#include <span>
#include <string_view>

namespace velor::driver {

// Runs the steps in order with the given command-line arguments (without
// the program name), keyboard, console and error stream.  Returns the exit
// status: 0 done, 1 the run could not be done for a reason it names, 2 a
// fatal record error (unreadable input, or a failed read or write).
int run(std::span<const std::string_view> arguments, std::istream& keyboard, std::ostream& console,
        std::ostream& errors);

}  // namespace velor::driver
