#include "model/cholesky.hpp"

#include <cmath>

namespace velor::model {

bool cholesky_solve(NormalEquations& eq, Solution& solution, int n) {
    auto& a = eq.a;
    auto& d = solution.diagonal;
    auto& x = solution.x;
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

}  // namespace velor::model
