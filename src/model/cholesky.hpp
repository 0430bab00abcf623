// Solution of the normal equations by Cholesky decomposition.
#pragma once

#include <array>

#include "model/normal_equations.hpp"

namespace velor::model {

struct Solution {
    std::array<double, kMaxParameters> x{};         // scale-model coefficients
    std::array<double, kMaxParameters> diagonal{};  // L(i, i)
};

// A = L·Lᵀ, then L·y = B and Lᵀ·x = y, for the leading n×n block.  Reads
// the diagonal and upper triangle of A, which stay as they are, and keeps
// the strict lower part of L in A's lower triangle.  No pivoting: A is
// positive definite whenever the accepted reflections determine the model.
// Returns false, with the factor incomplete, at the first pivot that is not
// positive and finite.
bool cholesky_solve(NormalEquations& eq, Solution& solution, int n);

}  // namespace velor::model
