#include "report/advice.hpp"

#include <array>

#include "platform/failure.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::report {
namespace {

// The limits below were set on the validation grid (validation/RESULTS.md,
// "Advice and warnings"): simulated crystals with known absorption, refined
// and corrected with each fit type, each run classed as helpful, useless or
// harmful by its displacement parameters and positions against the truth.
// Each limit is the lowest at which no helpful run of the grid warns.

// The correction is poorly determined when σ(S)/S, the median over the
// directions the data sample at their largest sin θ, reaches 30 %.  The
// median, not the largest: S near zero in one direction sends the largest
// σ(S)/S beyond any limit even in runs that help (up to 79 on the grid),
// while helpful runs keep the median below 0.21.
constexpr double kPoorlyDeterminedRelativeSigma = 0.30;

// The reflections left out of the fit are not improved when their
// cross-validated R after is 2 % or more above R before.  At 1.00 two
// helpful flat fits of the grid (which halved |ΔU|) warned.
constexpr double kNoGainRatioOfR = 1.02;

// The correction is mostly displacement-like when 65 % of the variance of
// ln S over the data grows with sin²θ as an overall change of displacement
// would.  The largest share of a helpful run on the grid was 0.645: a thin
// margin, and at 0.70 the warning caught 46 rather than 53 of 96 harmful
// runs.
constexpr double kMostlyDisplacementShare = 0.65;

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

std::vector<std::string> trust_warnings(const model::TrustFigures& figures) {
    std::vector<std::string> warnings;
    const model::FitTypeTrust& run = figures.of_run();
    const model::DirectionFigures& d = figures.directions;
    // Comparisons written so that a figure that is not a number does not warn.
    if (d.median_relative_sigma >= kPoorlyDeterminedRelativeSigma)
        warnings.push_back(message("the correction is poorly determined: its standard uncertainty is ",
                                   percent(d.median_relative_sigma),
                                   " of S in the median direction the data sample (largest ",
                                   percent(d.largest_relative_sigma), ", at sin(theta) ",
                                   textio::format_decimals(d.sin_theta, 3), ")"));
    if (run.cross_validated && run.cross_validated->r_after / figures.r_before >= kNoGainRatioOfR)
        warnings.push_back(message("the correction does not improve the reflections left out of the fit: corrected by "
                                   "fits without them, their R after (",
                                   textio::format_decimals(run.cross_validated->r_after, 4),
                                   ") is not lower than R before (", textio::format_decimals(figures.r_before, 4),
                                   ")"));
    if (run.displacement.displacement_share >= kMostlyDisplacementShare)
        warnings.push_back(message("the correction is mostly displacement-like: ",
                                   percent(run.displacement.displacement_share),
                                   " of the variation of ln S grows with sin^2(theta) as an overall change of the "
                                   "displacement parameters (Delta-U_eq ",
                                   textio::format_decimals(run.displacement.delta_u_eq, 4),
                                   " A^2) would; the refined displacement parameters likely hold it already"));
    if (kRecommendedFit != fit_letter(run.terms))
        warnings.push_back(message("the recommended fit is ", fit_words(terms_of(kRecommendedFit)), ", not the ",
                                   fit_words(run.terms),
                                   " fit used: on simulated absorption it brought the refined displacement "
                                   "parameters closest to the truth"));
    return warnings;
}

}  // namespace velor::report
