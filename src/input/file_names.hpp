// The file-name stem and the fit-type letter of a run, and the five file
// names formed from the stem.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

// Each name is a field blank-padded to at least 80 characters (a longer
// path is kept whole); a file is opened by its name without the blanks.
struct FileNames {
    std::string stem;  // as given, without padding, up to the first blank
    std::string given; // the name as given or typed, without trailing blanks
    std::string res;  // NAME.res, the refined instruction file
    std::string fcf;  // NAME.fcf, the LIST 4 reflection file
    std::string hkl;  // NAMEx.hkl, corrected reflections
    std::string ins;  // NAMEx.ins, new instruction file
    std::string abs;  // NAMEx.abs, report
};

// Takes the stem from the first argument (asking for it on the console when
// it is absent or blank) and the fit-type letter from the second, and forms
// the five names.  `fit_letter` becomes C, Q, L, F, or N when the command
// line names no fit type.
void getnam(std::span<const std::string_view> arguments, textio::OutputChannel& console,
            textio::InputChannel& keyboard, FileNames& names, char& fit_letter);

}  // namespace velor::input
