// Solution of the normal equations by Cholesky decomposition, and the
// diagonal of the inverse that the standard uncertainties come from.
#pragma once

#include <array>

#include "core/fit_result.hpp"
#include "model/normal_equations.hpp"

namespace velor::model {

// A = L·Lᵀ, then L·y = B and Lᵀ·x = y, for the leading n×n block.  Reads
// the diagonal and upper triangle of A, which stay as they are, and keeps
// the strict lower part of L in A's lower triangle and its diagonal in
// `fit.diagonal`.  No pivoting: A is positive definite whenever the
// accepted reflections determine the model.  Returns false, with the
// factor incomplete, at the first pivot that is not positive and finite.
bool cholesky_solve(NormalEquations& eq, core::FitResult& fit, int n);

// The diagonal of A⁻¹ from the factor that cholesky_solve left:
// (A⁻¹)ₚₚ = Σₖ (L⁻¹)ₖₚ², with L⁻¹ by forward substitution.
std::array<double, core::kMaxParameters> inverse_diagonal(const NormalEquations& factor, const core::FitResult& fit,
                                                          int n);

}  // namespace velor::model
