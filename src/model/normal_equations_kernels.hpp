// The update of the normal equations by one reflection, in two builds: a
// baseline one for any x86-64 (or other) processor, and one with 256-bit
// AVX2 vectors chosen at run time where the processor has them.  Both form
// every element's product and sum exactly as the other does: a(p, q) +=
// column(q)·row(p), one reflection after another; a vector only holds
// several independent sums side by side.  Neither contracts a product and
// a sum into a fused multiply-add.
#pragma once

#include <array>

#include "model/normal_equations.hpp"

namespace velor::model {
struct CompactSums;
struct FoldShare;
}  // namespace velor::model

namespace velor::model::kernels {

// One reflection's factors, the scale model's powers of sin²θ among them.
// For parameter p = j + 6i (tensor component j, term i), the update
// expands them to the model's basis and the rows and columns of A,
//   basis(p) = power(i)·t(j),  row(p) = basis(p)·λ²,
//   column(p) = scaled_t(j)·power(i),
// and adds a(p, q) += column(q)·row(p) for q ≥ p, b(p) += rhs_scale·basis(p).
struct Factors {
    std::array<double, 6> t;         // T_j
    std::array<double, 6> scaled_t;  // wλ²·Fc²·Fc²·T_j
    std::array<double, 4> power;     // (s²)^e of each term, the highest first (ScaleModel::powers)
    double lambda_sq;                // λ²
    double rhs_scale;                // wλ²·Fo²·Fc²
};

using Update = void (*)(NormalEquations&, const Factors&);

// The AVX2 update for 6·terms parameters (terms 1 to 4), or nullptr where
// the program was built without it.  Only to be called on a processor that
// has AVX2 (avx2_supported).  The baseline update, for any processor, is
// add_reflection's own (normal_equations.hpp).
Update avx2_update(int terms);
bool avx2_supported();

// The same for the cross-validation folds' compact sums
// (cross_validation.hpp): the AVX2 build of add_share, or nullptr.
using FoldUpdate = void (*)(CompactSums&, const FoldShare&);
FoldUpdate avx2_fold_update();

}  // namespace velor::model::kernels
