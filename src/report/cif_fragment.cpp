#include "report/cif_fragment.hpp"

#include "textio/numeric_fields.hpp"

namespace velor::report {
namespace {

std::string number(double value) {
    const std::string field = textio::format_f(value, 16, 4);
    return field.substr(field.find_first_not_of(' '));
}

}  // namespace

std::string cif_fragment(const Summary& s) {
    // refdelf: the CIF core's term for a correction refined from the
    // differences between Fo and Fc.  The transmission factors are
    // relative: the smallest scale factor over the largest, and 1.
    std::string text = "# Absorption correction by " + s.program + " " + s.version + "\n";
    text += "_exptl_absorpt_correction_type    refdelf\n";
    text += "_exptl_absorpt_correction_T_min   " + number(s.t_min()) + "\n";
    text += "_exptl_absorpt_correction_T_max   " + number(s.t_max()) + "\n";
    // A text field between lines that begin with a semicolon holds any
    // text but a line that begins with one.
    text += "_exptl_absorpt_process_details\n;\n" + s.process_details() + "\n;\n";
    return text;
}

}  // namespace velor::report
