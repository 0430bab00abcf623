#include "driver/summary_of_run.hpp"

#include <cmath>

#include "model/cholesky.hpp"
#include "model/scale_model.hpp"

namespace velor::driver {
namespace {

// x_p with its tensor component and power of sin²θ, and its standard
// uncertainty esd(x_p) = sqrt((A⁻¹)ₚₚ · χ²/(n − P)).
std::vector<report::Coefficient> coefficients(const RunRecord& r, double variance_scale) {
    const model::ScaleModel scale(r.parameters.terms, r.crystal.lambda_sq);
    const int n = scale.parameters();
    const auto inverse = model::inverse_diagonal(r.normal, r.fit, n);
    std::vector<report::Coefficient> list;
    for (int p = 0; p < n; ++p) {
        const auto at = static_cast<std::size_t>(p);
        list.push_back({model::ScaleModel::component(p) + 1, scale.power(model::ScaleModel::term(p)), r.fit.x[at],
                        std::sqrt(inverse[at] * variance_scale)});
    }
    return list;
}

}  // namespace

report::Summary summarise(const RunRecord& r, const model::Diagnostics& d, const std::vector<std::string>& warnings,
                          std::string_view version) {
    report::Summary s;
    s.version = version;
    s.names = r.names;
    s.crystal = r.crystal;
    s.parameters = r.parameters;
    s.reciprocal = r.reciprocal;

    s.read = r.extent.read;
    s.accepted = r.normal.accepted;
    for (std::size_t t = 0; t < report::kScreeningTestNames.size(); ++t)
        s.rejected_by_test[t] = r.rejections.by_test(report::kScreeningTestNames[t].test);
    s.rejected = r.rejections.total();

    s.chi_squared = d.chi_squared();
    const double degrees_of_freedom = static_cast<double>(d.accepted() - r.parameters.parameter_count);
    s.goodness_of_fit = std::sqrt(s.chi_squared / degrees_of_freedom);
    s.coefficients = coefficients(r, s.chi_squared / degrees_of_freedom);

    s.statistics = r.statistics;
    s.r_before = r.statistics.n_before / r.statistics.d_before;
    s.r_after = r.statistics.n_after / r.statistics.d_after;
    s.s_smallest = d.smallest_s();
    s.s_largest = d.largest_s();
    s.s_smallest_at = d.smallest_at();
    s.s_largest_at = d.largest_at();
    s.shells = d.shells();
    s.histogram = d.histogram();
    s.sample = d.sample();
    s.warnings = warnings;
    return s;
}

}  // namespace velor::driver
