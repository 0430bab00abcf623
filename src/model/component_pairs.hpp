// The 21 pairs j ≤ j' of the six components of a reflection's direction
// tensor, in the order (0,0), (0,1) … (0,5), (1,1) … (5,5): the distinct
// products T_j·T_j' that the quadratic forms of the scale model's
// statistics are made of.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

namespace velor::model {

inline constexpr std::size_t kComponentPairs = 21;

// The first and second component of each pair.
inline constexpr std::array<std::pair<std::size_t, std::size_t>, kComponentPairs> kComponentPair = [] {
    std::array<std::pair<std::size_t, std::size_t>, kComponentPairs> pairs{};
    for (std::size_t j = 0, p = 0; j < 6; ++j)
        for (std::size_t jj = j; jj < 6; ++jj, ++p) pairs[p] = {j, jj};
    return pairs;
}();

// The pair of components j and j', in either order.
constexpr std::size_t component_pair(std::size_t j, std::size_t jj) {
    if (j > jj) std::swap(j, jj);
    return j * 6 - j * (j - 1) / 2 + (jj - j);
}

// T_j·T_j' of each pair, times `scale`.
inline std::array<double, kComponentPairs> pair_products(const std::array<double, 6>& t, double scale = 1.0) {
    std::array<double, kComponentPairs> tt;
#pragma GCC unroll 21
    for (std::size_t p = 0; p < kComponentPairs; ++p)
        tt[p] = (scale * t[kComponentPair[p].first]) * t[kComponentPair[p].second];
    return tt;
}

}  // namespace velor::model
