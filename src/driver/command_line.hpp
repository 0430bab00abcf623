// The command line: velor [options] [--] [NAME [C|Q|L|F]], where --fit
// gives the letter too.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/run_parameters.hpp"
#include "platform/failure.hpp"

namespace velor::driver {

struct CommandLine {
    enum class Action { run, help, version };
    Action action = Action::run;
    std::string help_text;  // for Action::help

    // NAME and the fit-type letter as given, or that of --fit (an absent
    // one is empty); any further words are ignored.
    std::vector<std::string> arguments;
    // --sin-min, --sin-max, --omit; the letter comes from `arguments`.
    core::FitRequest fit;
    // Summary files: --json, --cif, --html (empty when not asked for).
    std::string json_file, cif_file, html_file;
};

// A command line that cannot be run is a UsageError whose message names
// the option.
CommandLine parse_command_line(const std::vector<std::string>& words);

}  // namespace velor::driver
