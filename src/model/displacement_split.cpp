#include "model/displacement_split.hpp"

#include <algorithm>
#include <numbers>

#include "model/cholesky.hpp"

namespace velor::model {
namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

Matrix3 inverse(const Matrix3& m) {
    Matrix3 r;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j) {
            // The cofactor of element (j, i), by the cyclic rule.
            const std::size_t j1 = (j + 1) % 3, j2 = (j + 2) % 3, i1 = (i + 1) % 3, i2 = (i + 2) % 3;
            r[i][j] = (m[j1][i1] * m[j2][i2] - m[j1][i2] * m[j2][i1]) / det;
        }
    return r;
}

// Mᵀ·X·M for symmetric X.
Matrix3 congruent(const Matrix3& m, const Matrix3& x) {
    Matrix3 r{};
    for (std::size_t a = 0; a < 3; ++a)
        for (std::size_t b = 0; b < 3; ++b)
            for (std::size_t u = 0; u < 3; ++u)
                for (std::size_t v = 0; v < 3; ++v) r[a][b] += m[u][a] * x[u][v] * m[v][b];
    return r;
}

double variance(double sum, double sum_sq, long n) {
    const double mean = sum / static_cast<double>(n);
    return std::max(0.0, sum_sq / static_cast<double>(n) - mean * mean);
}

}  // namespace

DisplacementFigures DisplacementSplit::figures(const ReciprocalCell& rc) const {
    DisplacementFigures f;
    f.reflections = count_;
    if (count_ == 0) return f;
    const double var_dir = variance(sum_dir_, sum_dir_sq_, count_);
    const double var_ratio = variance(sum_ratio_, sum_ratio_sq_, count_);
    f.rms_direction = std::sqrt(var_dir);
    f.rms_displacement = std::sqrt(var_ratio);
    f.displacement_share = var_dir + var_ratio > 0.0 ? var_ratio / (var_dir + var_ratio) : 0.0;

    // ln(S/S_dir) ≈ Σ c_j·T_j, by the normal equations of the six T_j.
    NormalEquations eq;
    for (std::size_t pair = 0; pair < kComponentPairs; ++pair)
        eq.a[kComponentPair[pair].first][kComponentPair[pair].second] = tt_[pair];
    for (std::size_t j = 0; j < 6; ++j) eq.b[j] = ty_[j];
    core::FitResult fit;
    f.determined = cholesky_solve(eq, fit, 6);
    if (!f.determined) return f;
    // c = −16π²·β; β the elements of ΔU on the unit reciprocal axes, Ŵ = Mᵀ·ΔU·M
    // with the unit vectors of a*, b*, c* the columns of M.
    const double to_beta = -1.0 / (16.0 * std::numbers::pi * std::numbers::pi);
    const auto& c = fit.x;
    const Matrix3 w{{{c[0] * to_beta, c[3] * to_beta, c[4] * to_beta},
                     {c[3] * to_beta, c[1] * to_beta, c[5] * to_beta},
                     {c[4] * to_beta, c[5] * to_beta, c[2] * to_beta}}};
    const auto axes = reciprocal_axes(rc);
    const double lengths[3] = {rc.a, rc.b, rc.c};
    Matrix3 m;
    for (std::size_t u = 0; u < 3; ++u)
        for (std::size_t a = 0; a < 3; ++a) m[u][a] = axes[a][u] / lengths[a];
    const Matrix3 du = congruent(inverse(m), w);
    f.delta_u = {du[0][0], du[1][1], du[2][2], du[0][1], du[0][2], du[1][2]};
    f.delta_u_eq = (du[0][0] + du[1][1] + du[2][2]) / 3.0;
    return f;
}

}  // namespace velor::model
