#include "driver/summary_of_run.hpp"

#include <cmath>

#include "model/cholesky.hpp"
#include "report/advice.hpp"

namespace velor::driver {
namespace {

// x_p with its tensor component and power of sin²θ, and its standard
// uncertainty esd(x_p) = sqrt((A⁻¹)ₚₚ · χ²/(n − P)).
std::vector<report::Coefficient> coefficients(const model::ScaleModel& scale, const Fit& fit, double variance_scale) {
    const int n = scale.parameters();
    const auto inverse = model::inverse_diagonal(fit.factor, fit.solution, n);
    std::vector<report::Coefficient> list;
    for (int p = 0; p < n; ++p) {
        const auto at = static_cast<std::size_t>(p);
        list.push_back({model::ScaleModel::component(p) + 1, scale.power(model::ScaleModel::term(p)),
                        fit.solution.x[at], std::sqrt(inverse[at] * variance_scale)});
    }
    return list;
}

}  // namespace

model::TrustFigures trust_of_run(const RunInputs& in, const FirstPass& first, const Fit& fit,
                                 const Correction& correction) {
    const model::Diagnostics& d = *correction.diagnostics;
    const model::Statistics& st = correction.statistics;
    return model::trust_figures(*first.trust, *fit.trust, *correction.trust, in.reciprocal,
                                {in.scale, fit.solution.x, d.chi_squared(), d.accepted(), st.n_before / st.d_before});
}

report::Summary summarise(const RunInputs& in, const FirstPass& first, const Fit& fit, const Correction& correction,
                          model::TrustFigures trust, const std::vector<std::string>& warnings,
                          std::string_view version) {
    const model::Diagnostics& d = *correction.diagnostics;
    report::Summary s;
    s.version = version;
    s.names = in.names;
    s.crystal = in.crystal;
    s.parameters = in.parameters;
    s.reciprocal = in.reciprocal;
    s.scale = in.scale;

    s.read = first.extent.read;
    s.accepted = first.equations.accepted;
    for (std::size_t t = 0; t < report::kScreeningTestNames.size(); ++t)
        s.rejected_by_test[t] = first.rejections.by_test(report::kScreeningTestNames[t].test);
    s.rejected = first.rejections.total();

    s.chi_squared = d.chi_squared();
    const double degrees_of_freedom = static_cast<double>(d.accepted() - in.scale.parameters());
    s.goodness_of_fit = std::sqrt(s.chi_squared / degrees_of_freedom);
    s.coefficients = coefficients(in.scale, fit, s.chi_squared / degrees_of_freedom);

    const model::Statistics& st = correction.statistics;
    s.statistics = st;
    s.r_before = st.n_before / st.d_before;
    s.r_after = st.n_after / st.d_after;
    s.s_smallest = d.smallest_s();
    s.s_largest = d.largest_s();
    s.s_smallest_at = d.smallest_at();
    s.s_largest_at = d.largest_at();
    s.shells = d.shells();
    s.histogram = d.histogram();
    s.sample = d.sample();
    s.trust = std::move(trust);
    s.recommended_fit = report::kRecommendedFit;
    s.warnings = warnings;
    return s;
}

}  // namespace velor::driver
