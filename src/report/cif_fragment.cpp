#include "report/cif_fragment.hpp"

#include "textio/numeric_fields.hpp"

namespace velor::report {
std::string cif_fragment(const Summary& s) {
    // refdelf: the CIF core's term for a correction refined from the
    // differences between Fo and Fc.  The transmission factors are
    // relative: the smallest scale factor over the largest, and 1.
    std::string text = "# Absorption correction by " + s.program + " " + s.version + "\n";
    text += "_exptl_absorpt_correction_type    refdelf\n";
    text += "_exptl_absorpt_correction_T_min   " + textio::format_decimals(s.t_min(), 4) + "\n";
    text += "_exptl_absorpt_correction_T_max   " + textio::format_decimals(s.t_max(), 4) + "\n";
    // A text field between lines that begin with a semicolon holds any
    // text but a line that begins with one.
    text += "_exptl_absorpt_process_details\n;\n" + s.process_details() + "\n;\n";
    return text;
}

}  // namespace velor::report
