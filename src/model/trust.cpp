#include "model/trust.hpp"

#include <cmath>
#include <limits>

namespace velor::model {

TrustFigures trust_figures(const TrustFirstPass& first, const TrustFits& fits, const TrustSecondPass& second,
                           const ReciprocalCell& rc, const RunFit& run) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    TrustFigures t;
    t.run_terms = run.model.terms();
    t.sin_theta_max = std::sqrt(first.max_sin2());
    t.r_before = run.r_before;
    const Coverage coverage(first.directions());
    t.coverage_angle = coverage.angle();
    t.sampled_share = coverage.sampled_share();
    t.map_mask = coverage.mask(kDirectionMapSize);
    const MapDirections directions(t.map_mask, rc, run.model.lambda_sq(), t.sin_theta_max, kDirectionMapSize);

    for (int terms = 1; terms <= ScaleModel::kMaxTerms; ++terms) {
        const FitTypeSolution& solution = fits.fit_types[static_cast<std::size_t>(terms - 1)];
        const FitTypeFigures figures = second.comparison().figures(terms, rc);
        FitTypeTrust& f = t.fit_types[static_cast<std::size_t>(terms - 1)];
        f.terms = terms;
        f.solved = solution.solved;
        f.chi_squared_per_reflection = f.goodness_of_fit = nan;
        f.directions = {t.sin_theta_max, nan, nan, nan, nan, nan, nan};
        if (!solution.solved) continue;
        const double factor = variance_factor(solution.chi_squared, solution.accepted, solution.model.parameters());
        f.chi_squared_per_reflection = solution.chi_squared / static_cast<double>(solution.accepted);
        f.goodness_of_fit = std::sqrt(factor);
        f.cross_validated = figures.cross_validated;
        const ScaleVariance variance(solution.factor, solution.fit, solution.model);
        f.directions = directions.figures(solution.model, solution.fit.x, &variance, factor);
        f.displacement = figures.displacement;
    }

    t.variance_factor = variance_factor(run.chi_squared, run.accepted, run.model.parameters());
    t.reflections = second.relative().scaled(t.variance_factor);
    t.directions = directions.figures(run.model, run.x, &fits.variance, t.variance_factor);
    t.variance = std::make_shared<const ScaleVariance>(fits.variance);
    return t;
}

}  // namespace velor::model
