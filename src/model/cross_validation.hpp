// Cross-validation of the four fit types: does a fit predict reflections it
// was not fitted to?
//
// The accepted reflections fall into kFolds folds by a hash of their
// indices.  For each fold the fit is made without it, from the other folds'
// normal equations, and the fold's reflections are corrected with that fit.
// The four fit types are nested (scale_model.hpp): the cubic basis holds the
// quadratic, linear and flat ones as its last 18, 12 and 6 parameters, so
// the normal equations of each fit type are a trailing block of the cubic
// ones.  The first pass therefore keeps one set of cubic sums per fold, which
// gives every fit type's training equations for every fold; the run's own
// sums, and its fit, are apart and unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/fit_result.hpp"
#include "core/reflection.hpp"
#include "model/component_pairs.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_model.hpp"

namespace velor::model {

// Ten folds: each fit leaves out a tenth of the data, so the training sets
// are nine tenths of the list and the fits close to the full one.  The count
// is fixed before the list is read; with fewer than ten reflections some
// folds are empty, which is the same as fewer folds.
inline constexpr int kFolds = 10;

// The fold of a reflection: the indices, with h and −h taken as one (the
// model gives them the same S and their intensities are nearly equal, so
// one must not help to predict the other), packed into 64 bits and mixed by
// the finaliser of SplitMix64 (Steele, Lea & Flood 2014), whose every
// output bit depends on every input bit; the fold is the mixed value modulo
// ten.  The same on every system, and independent of the order of the list.
int fold_of(std::int32_t h, std::int32_t k, std::int32_t l);

// The cubic normal equations of a set of reflections, in the form their
// product structure allows.  The basis is g_p = s^e_i·T_j (p = j + 6i, s =
// sin²θ), so an element of the normal matrix, Σ w·λ⁴·Fc⁴·g_p·g_q, depends on
// the terms i, i' only through e_i + e_i' (seven values from −2 to 4) and on
// the components only through the pair {j, j'} (21 of them): 147 distinct
// sums instead of the 300 of the cubic matrix's upper triangle.  Every fit
// type's normal equations follow from them (fit_type_equations).
struct CompactSums {
    static constexpr std::size_t kPowers = 7;
    // The 21 pairs and three lanes that stay zero: rows of whole vectors.
    static constexpr std::size_t kLanes = 24;
    // Σ w·λ⁴·Fc⁴·s^(k−2)·T_j·T_j', k = e_i + e_i' + 2, by component pair.
    alignas(32) std::array<std::array<double, kLanes>, kPowers> a{};
    alignas(32) std::array<double, core::kMaxParameters> b{};  // Σ w·λ²·Fo²·Fc²·g_p, the cubic basis
    double wyy = 0.0;  // Σ w·Fo⁴, for χ² = Σw·Fo⁴ − xᵀb at the solution
    long accepted = 0;

    void add(const CompactSums& other);
};

// One accepted reflection's share of the compact sums: each element of the
// sums gets one product added, a[k][pair] += power[k]·tt[pair] and b[p] +=
// b[p], the same in either build of the update (normal_equations_kernels.hpp).
struct FoldShare {
    alignas(32) std::array<double, CompactSums::kLanes> tt;  // w·λ⁴·Fc⁴·T_j·T_j', then zeros
    std::array<double, CompactSums::kPowers> power;          // s^(k−2)
    alignas(32) std::array<double, core::kMaxParameters> b;  // w·λ²·Fo²·Fc²·g_p
    double wyy;                                              // w·Fo⁴
};
FoldShare fold_share(const core::Reflection& r, const Geometry& g, double lambda_sq);

// Adds a share with two-wide vectors, on any processor.
void add_share(CompactSums& sums, const FoldShare& share);

// The first pass: the sums of each fold's accepted reflections, 147 + 24
// multiply-adds a reflection, with the update that suits the processor.
class FoldSums {
public:
    explicit FoldSums(double lambda_sq);
    // An accepted reflection, with its geometry.
    void add(const core::Reflection& r, const Geometry& g) {
        update_(folds_[static_cast<std::size_t>(fold_of(r.h, r.k, r.l))], fold_share(r, g, lambda_sq_));
    }
    const CompactSums& fold(int f) const { return folds_[static_cast<std::size_t>(f)]; }
    double lambda_sq() const { return lambda_sq_; }

private:
    double lambda_sq_;
    void (*update_)(CompactSums&, const FoldShare&);
    std::vector<CompactSums> folds_;
};

// A fit type solved from the fold sums: from all of them (the same fit as the
// run's own to rounding: the sums are added in another order), and from
// each fold's training set, the other folds.
struct FitTypeSolution {
    ScaleModel model{1, 0.0};
    bool solved = false;   // the full-data equations are positive definite
    NormalEquations factor;  // the full-data equations, with the factor cholesky_solve left
    core::FitResult fit;
    double chi_squared = 0.0;  // of the full-data fit, Σw·Fo⁴ − xᵀb
    long accepted = 0;
    // Every fold's training equations positive definite.  A fold whose
    // training equations are singular for this fit type (too few reflections
    // or directions without it) leaves the fit type without a cross-validated
    // figure: a fold corrected with no fit, or with the full one, would not
    // be a cross-validation.
    bool cross_validated = false;
    std::array<core::Coefficients, kFolds> fold_x{};
};

// The solutions of the four fit types, indexed by terms − 1 (flat, linear,
// quadratic, cubic).
using FitTypeSolutions = std::array<FitTypeSolution, ScaleModel::kMaxTerms>;

// A fit type's normal equations from compact sums.
NormalEquations fit_type_equations(const CompactSums& sums, const ScaleModel& model);

// Solves the four fit types in full and for every fold.
FitTypeSolutions solve_fit_types(const FoldSums& sums);

}  // namespace velor::model
