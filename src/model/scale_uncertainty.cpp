#include "model/scale_uncertainty.hpp"

#include <limits>

namespace velor::model {

SquareMatrix inverse_normal_matrix(const NormalEquations& factor, const core::FitResult& fit, int n) {
    const auto size = static_cast<std::size_t>(n);
    const auto& a = factor.a;  // L below the diagonal
    const auto& d = fit.diagonal;
    // L⁻¹ column by column, L·m = e_p by forward substitution (m zero above p).
    SquareMatrix inverse_l{};
    for (std::size_t p = 0; p < size; ++p) {
        inverse_l[p][p] = 1.0 / d[p];
        for (std::size_t i = p + 1; i < size; ++i) {
            double s = 0.0;
            for (std::size_t c = p; c < i; ++c) s += a[i][c] * inverse_l[c][p];
            inverse_l[i][p] = -s / d[i];
        }
    }
    SquareMatrix inverse{};
    for (std::size_t p = 0; p < size; ++p) {
        for (std::size_t q = p; q < size; ++q) {
            double s = 0.0;
            for (std::size_t k = q; k < size; ++k) s += inverse_l[k][p] * inverse_l[k][q];
            inverse[p][q] = inverse[q][p] = s;
        }
    }
    return inverse;
}

double variance_factor(double chi_squared, long n, int p) {
    if (n <= p) return std::numeric_limits<double>::quiet_NaN();
    return chi_squared / static_cast<double>(n - p);
}

ScaleVariance::ScaleVariance(const NormalEquations& factor, const core::FitResult& fit, const ScaleModel& model)
    : powers_(static_cast<std::size_t>(2 * model.terms() - 1)), lambda_fourth_(model.lambda_sq() * model.lambda_sq()) {
    const int n = model.parameters();
    const SquareMatrix inverse = inverse_normal_matrix(factor, fit, n);
    // Each element of A⁻¹ once: the pair (j, j') and (j', j) meet in one
    // coefficient, which so holds both off-diagonal elements.
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) {
            const int k = model.power(ScaleModel::term(p)) + model.power(ScaleModel::term(q)) + 2;
            const auto j = static_cast<std::size_t>(ScaleModel::component(p));
            const auto jj = static_cast<std::size_t>(ScaleModel::component(q));
            coefficients_[component_pair(j, jj)][static_cast<std::size_t>(k / 2)][k % 2] +=
                inverse[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)];
        }
    }
}

RelativeUncertainty::RelativeUncertainty() : bins_(static_cast<std::size_t>(kPerOctave * kOctaves), 0) {}

RelativeUncertainty::Figures RelativeUncertainty::scaled(double variance_factor) const {
    if (count_ == 0) return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    // The bin that holds the middle value (the lower middle of an even count).
    const long middle = (count_ + 1) / 2;
    long seen = 0;
    std::size_t b = 0;
    for (; b < bins_.size(); ++b)
        if ((seen += bins_[b]) >= middle) break;
    const long octave = static_cast<long>(b) / kPerOctave - kOctaves / 2;
    const double step = static_cast<double>(static_cast<long>(b) % kPerOctave);
    const double centre = std::ldexp(1.0 + (step + 0.5) / kPerOctave, static_cast<int>(octave));
    const double factor = std::sqrt(variance_factor);
    return {centre * factor, largest_ * factor};
}

}  // namespace velor::model
