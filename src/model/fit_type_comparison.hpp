// The four fit types compared on the same reflections, in the second pass:
// how well each one's cross-validation fits predict the reflections they
// left out, and how much of each fit is displacement-like.
#pragma once

#include <array>
#include <optional>

#include "core/crystal_data.hpp"
#include "core/reflection.hpp"
#include "model/cross_validation.hpp"
#include "model/displacement_split.hpp"
#include "model/double_pair.hpp"
#include "model/geometry.hpp"

namespace velor::model {

// Each reflection corrected by the fit of the folds that did not hold it:
// R after = Σ|√|Fo²| − √|Fc²|| / Σ√|Fo²| over every reflection, as the
// report's R after (its R before, which no fit changes, is the report's),
// and χ² = Σw·(Fo² − S·Fc²)² over the accepted ones.
struct CrossValidated {
    double r_after = 0.0;
    double chi_squared = 0.0;
    long accepted = 0;
    double chi_squared_per_reflection() const { return chi_squared / static_cast<double>(accepted); }
};

struct FitTypeFigures {
    int terms = 0;
    bool solved = false;  // the full-data fit; nothing else without it
    double chi_squared = 0.0;  // of the full-data fit on the accepted reflections
    long accepted = 0;
    // Absent when a fold's training equations were singular.
    std::optional<CrossValidated> cross_validated;
    DisplacementFigures displacement;  // of the full-data fit
};

class FitTypeComparison {
public:
    // The displacement-like part is measured on at most about this many
    // accepted reflections, every k-th of the list: the fit of six
    // parameters and the spreads are settled long before, and the logarithms
    // they take would cost more than the rest of the comparison.
    static constexpr long kDisplacementSample = 4096;

    // `crystal` for 1/OSF², as the correction takes it.
    FitTypeComparison(const FitTypeSolutions& solutions, const core::CrystalData& crystal);

    // Every reflection of the list, with its geometry and the screening's
    // verdict.
    void add(const core::Reflection& r, const Geometry& g, bool accepted);

    // For fit type `terms` (1 flat to 4 cubic).
    FitTypeFigures figures(int terms, const ReciprocalCell& rc) const;

private:
    static constexpr std::size_t kTypes = ScaleModel::kMaxTerms;
    // The coefficients of the four fit types by parameter of the cubic
    // basis, the fit types side by side (zero where a fit type has no such
    // parameter or no fit): S of all four is λ²·Σ_q basis_q·x[q], four sums
    // in two vectors.
    using Coefficients = std::array<std::array<DoublePair, kTypes / 2>, core::kMaxParameters>;
    static Coefficients side_by_side(const FitTypeSolutions& solutions, int fold);

    const FitTypeSolutions& solutions_;
    double lambda_sq_, z_;
    float z1_;
    std::array<Coefficients, kFolds> fold_x_;
    Coefficients full_x_;
    long accepted_ = 0;
    long stride_, countdown_ = 0;  // of the displacement sample
    std::array<DoublePair, kTypes / 2> n_after_{}, d_after_{}, chi_squared_{};
    std::array<DisplacementSplit, kTypes> displacement_{};
};

}  // namespace velor::model
