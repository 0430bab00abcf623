#include "model/cholesky.hpp"

#include <cmath>

namespace velor::model {

bool cholesky_solve(NormalEquations& eq, core::FitResult& fit, int n) {
    auto& a = eq.a;
    auto& d = fit.diagonal;
    auto& x = fit.x;
    const auto size = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < size; ++i) {
        for (std::size_t j = i; j < size; ++j) {
            double s = a[i][j];
            for (std::size_t c = i; c-- > 0;) s -= a[i][c] * a[j][c];
            if (j == i) {
                if (!(s > 0.0) || !std::isfinite(s)) return false;
                d[i] = std::sqrt(s);
            } else {
                a[j][i] = s / d[i];
            }
        }
    }
    // Forward substitution L·y = B, y kept in x.
    for (std::size_t r = 0; r < size; ++r) {
        double s = eq.b[r];
        for (std::size_t c = r; c-- > 0;) s -= a[r][c] * x[c];
        x[r] = s / d[r];
    }
    // Backward substitution Lᵀ·x = y, in place.
    for (std::size_t r = size; r-- > 0;) {
        double s = x[r];
        for (std::size_t c = r + 1; c < size; ++c) s -= a[c][r] * x[c];
        x[r] = s / d[r];
    }
    return true;
}

std::array<double, core::kMaxParameters> inverse_diagonal(const NormalEquations& factor, const core::FitResult& fit,
                                                          int n) {
    const auto size = static_cast<std::size_t>(n);
    const auto& a = factor.a;
    const auto& d = fit.diagonal;
    std::array<double, core::kMaxParameters> diagonal{};
    std::array<double, core::kMaxParameters> column{};
    for (std::size_t p = 0; p < size; ++p) {
        // Column p of L⁻¹: L·m = e_p, m zero above p.
        column[p] = 1.0 / d[p];
        double sum_sq = column[p] * column[p];
        for (std::size_t i = p + 1; i < size; ++i) {
            double s = 0.0;
            for (std::size_t c = p; c < i; ++c) s += a[i][c] * column[c];
            column[i] = -s / d[i];
            sum_sq += column[i] * column[i];
        }
        diagonal[p] = sum_sq;
    }
    return diagonal;
}

}  // namespace velor::model
