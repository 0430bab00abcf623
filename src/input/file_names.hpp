// The file-name stem and the fit-type letter of a run, and the five file
// names formed from the stem.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

// The names as the files are opened by, without padding; a path longer
// than any record is kept whole.
struct FileNames {
    std::string stem;   // as given, up to the first blank
    std::string given;  // the name as given or typed, without trailing blanks
    std::string res;    // NAME.res, the refined instruction file
    std::string fcf;    // NAME.fcf, the LIST 4 reflection file
    std::string hkl;    // NAMEx.hkl, corrected reflections
    std::string ins;    // NAMEx.ins, new instruction file
    std::string abs;    // NAMEx.abs, report
};

// What the command line, or the keyboard, names: the files and the fit type.
struct NamedRun {
    FileNames names;
    char fit_letter = 'N';  // C, Q, L, F, or N when the command line names no fit type
};

// Takes the stem from the first argument (asking for it on the console when
// it is absent or blank) and the fit-type letter from the second, and forms
// the five names.
NamedRun getnam(std::span<const std::string_view> arguments, textio::OutputChannel& console,
                textio::InputChannel& keyboard);

}  // namespace velor::input
