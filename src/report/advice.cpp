#include "report/advice.hpp"

#include <array>

#include "platform/failure.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::report {
namespace {

// PROVISIONAL, until set on data with a known truth: the correction is
// poorly determined when its standard uncertainty reaches a tenth of S in
// a direction the data sample, at the data's largest sin θ (where the
// terms in sin²θ weigh most).
constexpr double kPoorlyDeterminedRelativeSigma = 0.10;

// PROVISIONAL, until set on data with a known truth: the correction is
// mostly displacement-like when more than half of the variance of ln S
// over the data grows with sin²θ as an overall change of displacement
// would.
constexpr double kMostlyDisplacementShare = 0.5;

// A share as a percentage: one decimal below 10 %, none above.
std::string percent(double share) {
    const double p = 100.0 * share;
    return textio::format_decimals(p, p < 9.95 ? 1 : 0) + " %";
}

std::string fit_words(int terms) { return message(fit_name(terms), " (", fit_letter(terms), ")"); }

}  // namespace

char fit_letter(int terms) {
    static constexpr std::array<char, 4> kLetters{'F', 'L', 'Q', 'C'};
    return kLetters[static_cast<std::size_t>(terms - 1)];
}

const char* fit_name(int terms) {
    static constexpr std::array<const char*, 4> kNames{"flat", "linear", "quadratic", "cubic"};
    return kNames[static_cast<std::size_t>(terms - 1)];
}

int terms_of(char letter) {
    for (int terms = 1; terms <= model::ScaleModel::kMaxTerms; ++terms)
        if (fit_letter(terms) == letter) return terms;
    return 0;
}

// PROVISIONAL: no fit type is recommended until the rule has been checked
// on data with a known truth.  A rule from the R values alone would prefer
// the fits whose terms in sin²θ re-fit the displacement parameters.
std::optional<char> recommended_fit(const model::TrustFigures&) { return std::nullopt; }

std::vector<std::string> trust_warnings(const model::TrustFigures& figures) {
    std::vector<std::string> warnings;
    const model::FitTypeTrust& run = figures.of_run();
    const model::DirectionFigures& d = figures.directions;
    // Comparisons written so that a figure that is not a number does not warn.
    if (d.largest_relative_sigma > kPoorlyDeterminedRelativeSigma)
        warnings.push_back(message("the correction is poorly determined: its standard uncertainty reaches ",
                                   percent(d.largest_relative_sigma), " of S in directions the data sample (median ",
                                   percent(d.median_relative_sigma), ", at sin(theta) ",
                                   textio::format_decimals(d.sin_theta, 3), ")"));
    if (run.cross_validated && !(run.cross_validated->r_after < figures.r_before))
        warnings.push_back(message("the correction does not improve the reflections left out of the fit: corrected by "
                                   "fits without them, their R after (",
                                   textio::format_decimals(run.cross_validated->r_after, 4),
                                   ") is not lower than R before (", textio::format_decimals(figures.r_before, 4),
                                   ")"));
    if (run.displacement.displacement_share > kMostlyDisplacementShare)
        warnings.push_back(message("the correction is mostly displacement-like: ",
                                   percent(run.displacement.displacement_share),
                                   " of the variation of ln S grows with sin^2(theta) as an overall change of the "
                                   "displacement parameters (Delta-U_eq ",
                                   textio::format_decimals(run.displacement.delta_u_eq, 4),
                                   " A^2) would; the refined displacement parameters likely hold it already"));
    if (const std::optional<char> recommended = recommended_fit(figures); recommended && *recommended != fit_letter(run.terms))
        warnings.push_back(message("the recommended fit is ", fit_words(terms_of(*recommended)), ", not the ",
                                   fit_words(run.terms), " fit used"));
    return warnings;
}

}  // namespace velor::report
