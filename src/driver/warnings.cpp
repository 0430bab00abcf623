#include "driver/warnings.hpp"

#include <cmath>

#include "platform/failure.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::driver {

std::vector<std::string> run_warnings(const RunFacts& f) {
    std::vector<std::string> warnings;
    const model::Statistics& st = f.statistics;
    const double before = st.n_before / st.d_before, after = st.n_after / st.d_after;
    // A value that is not a number is not lower either.
    if (!(after < before))
        warnings.push_back(message("the R-value after correction (", textio::format_decimals(after, 3),
                                   ") is not lower than before (", textio::format_decimals(before, 3),
                                   "): the correction does not make the data fit the model better"));
    if (f.accepted < 10L * f.parameter_count)
        warnings.push_back(message("only ", f.accepted, " reflections passed the screening for the ",
                                   f.parameter_count,
                                   " parameters of the fit, fewer than ten per parameter: the correction is poorly "
                                   "determined"));
    if (f.twinned)
        warnings.push_back(message("'", f.names.res, "' refines twinned data (HKLF 5, TWIN or BASF): '", f.names.hkl,
                                   "' holds HKLF 4 data and '", f.names.ins,
                                   "' still carries the twin instructions, which must be revised before the next "
                                   "refinement"));
    return warnings;
}

std::string unphysical_scale_message(const model::UnphysicalScale& u) {
    if (u.count == 0) return {};
    return message("the fitted scale factor S is not a positive number for ", u.count,
                   u.count == 1 ? " reflection" : " reflections",
                   " (smallest S ", textio::format_decimals(u.smallest, 3), " at h k l ", u.h, " ", u.k, " ", u.l,
                   "): there the model, extrapolated beyond the data it was fitted to, is no transmission factor. Use "
                   "a fit type with fewer parameters or a wider sin(theta) range.");
}

std::string beyond_sin_theta_one_message(const input::FileNames& names, const BeyondSinThetaOne& beyond) {
    std::string first;
    if (beyond.sin2 > 1.0) {
        // Four decimals, or as many more as it takes to show that it exceeds 1.
        const double sin_theta = std::sqrt(beyond.sin2);
        std::string shown;
        for (int decimals = 4; decimals <= 17; ++decimals) {
            shown = textio::format_decimals(sin_theta, decimals);
            if (shown.find_first_not_of('0', 2) != std::string::npos || !shown.starts_with("1.")) break;
        }
        first = message(" (the first at h k l ", beyond.h, " ", beyond.k, " ", beyond.l, ", sin(theta) ", shown, ")");
    }
    return message("files '", names.res, "' and '", names.fcf, "' are not of the same refinement: ", beyond.count,
                   beyond.count == 1 ? " reflection has" : " reflections have",
                   " sin(theta) > 1 at the wavelength and cell of '", names.res, "'", first);
}

}  // namespace velor::driver
