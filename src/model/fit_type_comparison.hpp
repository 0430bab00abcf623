// The four fit types compared on the same reflections, in the second pass:
// for each, how well its full-data fit agrees with the data it was fitted
// to, how well its cross-validation fits predict the reflections they left
// out, and how much of it is displacement-like.
#pragma once

#include <array>
#include <cmath>
#include <optional>

#include "core/crystal_data.hpp"
#include "core/reflection.hpp"
#include "core/single_precision.hpp"
#include "model/cross_validation.hpp"
#include "model/displacement_split.hpp"
#include "model/geometry.hpp"

namespace velor::model {

// The R-value of the report, R = Σ|√|Fo²| − √|Fc²|| / Σ√|Fo²| over every
// reflection, before the correction and after it, and χ² = Σw·(Fo² − S·Fc²)²
// over the accepted reflections.
struct Agreement {
    double r_before = 0.0, r_after = 0.0;
    double chi_squared = 0.0;
    long accepted = 0;
    double chi_squared_per_reflection() const { return chi_squared / static_cast<double>(accepted); }
};

struct FitTypeFigures {
    int terms = 0;
    bool solved = false;
    // The full-data fit on its own data; absent when it was not solved.
    std::optional<Agreement> fitted;
    // Each reflection corrected by the fit of the folds that did not hold it;
    // absent when a fold's training equations were singular.
    std::optional<Agreement> cross_validated;
    DisplacementFigures displacement;
};

class FitTypeComparison {
public:
    // `crystal` for 1/OSF², as the correction takes it.
    FitTypeComparison(const FitTypeSolutions& solutions, const core::CrystalData& crystal);

    // Every reflection of the list, with its geometry and the screening's
    // verdict.
    void add(const core::Reflection& r, const Geometry& g, bool accepted);

    // For fit type `terms` (1 flat to 4 cubic).
    FitTypeFigures figures(int terms, const ReciprocalCell& rc) const;

private:
    struct Sums {
        double n_after = 0.0, d_after = 0.0, chi_squared = 0.0;
    };
    const FitTypeSolutions& solutions_;
    double lambda_sq_, z_;
    float z1_;
    double n_before_ = 0.0, d_before_ = 0.0;
    long accepted_ = 0;
    std::array<Sums, ScaleModel::kMaxTerms> fitted_{}, cross_validated_{};
    std::array<DisplacementSplit, ScaleModel::kMaxTerms> displacement_{};
};

}  // namespace velor::model
