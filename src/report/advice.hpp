// The advice drawn from the figures that say whether to believe a
// correction: the fit type to recommend, and the warnings a run that
// succeeded still gets.  The figures exist only in a run that writes a
// summary file (--json, --cif, --html), and so do these warnings.
//
// The thresholds are set by running the correction on data with a known
// truth and asking which fits made the refined structure better.
#pragma once

#include <string>
#include <vector>

#include "model/trust.hpp"

namespace velor::report {

// The letter of the fit type of `terms` terms: F, L, Q or C.
char fit_letter(int terms);
// "cubic", "quadratic", "linear" or "flat".
const char* fit_name(int terms);
// The terms of the fit type of a letter (C, Q, L or F).
int terms_of(char letter);

// The fit type to recommend.  On the validation grid (simulated crystals
// with known absorption, refined as a user would, then corrected with each
// fit type) the flat fit brought the displacement parameters closest to the
// truth in every case, on the grid and on the cases held out from it: the
// terms in sin²θ of the others mostly re-fit an overall displacement that
// the refined U values already hold.  No figure of a run (cross-validated
// R, σ(S)/S, the displacement-like share) picked better than "always flat",
// so the advice reads none of them.  --fit auto takes this fit.
constexpr char kRecommendedFit = 'F';

// The warnings of the figures, each one line of text without the
// "velor: warning: " in front, in a fixed order: the correction is poorly
// determined; it does not improve the reflections left out of the fit; it
// is mostly displacement-like; the recommended fit is another.
std::vector<std::string> trust_warnings(const model::TrustFigures& figures);

}  // namespace velor::report
