// The fit found: the coefficients of the scale model, and the diagonal of
// the Cholesky factor of the normal matrix they were solved with.
#pragma once

#include <array>

namespace velor::core {

// Six tensor components times at most four powers of sin²θ.
inline constexpr int kMaxParameters = 24;

using Coefficients = std::array<double, kMaxParameters>;

struct FitResult {
    Coefficients x{};                                // x_1..x_n, the rest zero
    std::array<double, kMaxParameters> diagonal{};  // L(i, i)
};

}  // namespace velor::core
