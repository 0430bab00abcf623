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
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/normal_equations_kernels.hpp"
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

// The first pass: the cubic normal equations of each fold's accepted
// reflections.  About one cubic update of the normal equations per accepted
// reflection, with the update that suits the processor.
class FoldSums {
public:
    explicit FoldSums(double lambda_sq);
    // An accepted reflection, with its geometry.
    void add(const core::Reflection& r, const Geometry& g) {
        add_reflection(folds_[static_cast<std::size_t>(fold_of(r.h, r.k, r.l))], cubic_, r, g, update_);
    }
    const NormalEquations& fold(int f) const { return folds_[static_cast<std::size_t>(f)]; }
    double lambda_sq() const { return cubic_.lambda_sq(); }

private:
    ScaleModel cubic_;
    kernels::Update update_;
    std::vector<NormalEquations> folds_;
};

// A fit type solved from the fold sums: from all of them (the same fit as the
// run's own to rounding: the sums are added in another order), and from
// each fold's training set, the other folds.
struct FitTypeSolution {
    ScaleModel model{1, 0.0};
    bool solved = false;   // the full-data equations are positive definite
    NormalEquations factor;  // the full-data equations, with the factor cholesky_solve left
    core::FitResult fit;
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

// Each fit type's normal equations from the fold sums: the trailing
// 6·terms × 6·terms block of the cubic sums of `folds` (a fold's bit set
// when it is to be included), added fold by fold in order.
NormalEquations fit_type_equations(const FoldSums& sums, int terms, unsigned folds);

// Solves the four fit types in full and for every fold.
FitTypeSolutions solve_fit_types(const FoldSums& sums);

}  // namespace velor::model
