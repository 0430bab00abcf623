// The measurements that say whether to believe a run's correction, gathered
// beside the run's own sums and fit, which they leave as they are: the
// uncertainty of S, the directions the data sample, and the four fit types'
// cross-validation and displacement-like part.  A run makes them only for
// its summary files; each stage of the run has its part here.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/reflection.hpp"
#include "model/cross_validation.hpp"
#include "model/direction_coverage.hpp"
#include "model/fit_type_comparison.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_model.hpp"
#include "model/scale_uncertainty.hpp"

namespace velor::model {

// The maps of directions the figures are taken on, and the report page
// draws: 64 × 64 cells over the disc, 2.8° a cell at its centre.
inline constexpr int kDirectionMapSize = 64;

// The first pass: each accepted reflection's share of its fold's cubic
// sums, its direction, and the largest sin²θ of them.
class TrustFirstPass {
public:
    TrustFirstPass(const ReciprocalCell& rc, double lambda_sq) : folds_(lambda_sq), directions_(rc) {}
    // An accepted reflection.  Inline: the pass calls it for each.
    void add(const core::Reflection& r, const Geometry& g) {
        folds_.add(r, g);
        directions_.add(r.h, r.k, r.l);
        if (g.sin2 > max_sin2_) max_sin2_ = g.sin2;
    }
    const FoldSums& folds() const { return folds_; }
    const DirectionBitmap& directions() const { return directions_; }
    double max_sin2() const { return max_sin2_; }

private:
    FoldSums folds_;
    DirectionBitmap directions_;
    double max_sin2_ = 0.0;
};

// After the run's fit: the four fit types solved from the folds' sums, and
// the variance of the run's own S from the factor of its normal matrix.
struct TrustFits {
    TrustFits(const TrustFirstPass& first, const NormalEquations& run_factor, const core::FitResult& run_fit,
              const ScaleModel& run_model)
        : fit_types(solve_fit_types(first.folds())), variance(run_factor, run_fit, run_model) {}
    FitTypeSolutions fit_types;
    ScaleVariance variance;
};

// The second pass: every reflection corrected by each fit type's
// cross-validation fits, and σ(S)/S of the run's S over the accepted
// reflections, every k-th of them in a list of more than kUncertaintySample
// (the median and the largest of a smooth function of direction and sin θ
// are settled by a few thousand; σ(S) costs as much as the rest of the
// reflection's share).  Holds on to `fits`.
class TrustSecondPass {
public:
    static constexpr long kUncertaintySample = 4096;

    TrustSecondPass(const TrustFits& fits, const core::CrystalData& crystal)
        : comparison_(fits.fit_types, crystal),
          variance_(fits.variance),
          stride_(std::max(1L, (fits.fit_types[0].accepted + kUncertaintySample - 1) / kUncertaintySample)) {}
    // Every reflection of the list, with its geometry, the run's S and the
    // screening's verdict.  Inline: the pass calls it for each.
    void add(const core::Reflection& r, const Geometry& g, double s, bool accepted) {
        comparison_.add(r, g, accepted);
        if (!accepted || countdown_-- != 0) return;
        countdown_ = stride_ - 1;
        relative_.add(variance_.unit_variance(g), s);
    }
    const FitTypeComparison& comparison() const { return comparison_; }
    const RelativeUncertainty& relative() const { return relative_; }

private:
    FitTypeComparison comparison_;
    const ScaleVariance& variance_;
    RelativeUncertainty relative_;
    long stride_, countdown_ = 0;
};

// One fit type's figures: its full-data fit on the accepted reflections,
// its cross-validation, S over the directions at the data's largest sin θ,
// and its displacement-like part.  NaN for what a fit type whose equations
// are singular does not have.
struct FitTypeTrust {
    int terms = 0;
    bool solved = false;
    double chi_squared_per_reflection = 0.0;
    double goodness_of_fit = 0.0;  // √(χ²/(n − p))
    std::optional<CrossValidated> cross_validated;
    DirectionFigures directions;
    DisplacementFigures displacement;
};

// What the run's own fit is: its model and coefficients, χ² of its
// residuals and the number of accepted reflections, and the report's R
// before, which no fit changes.
struct RunFit {
    const ScaleModel& model;
    const core::Coefficients& x;
    double chi_squared;
    long accepted;
    double r_before;
};

struct TrustFigures {
    int folds = kFolds;
    int run_terms = 0;     // the fit type of the run
    double sin_theta_max = 0.0;  // of the accepted reflections
    double coverage_angle = 0.0;  // radians
    double sampled_share = 0.0;   // of the hemisphere of directions
    double r_before = 0.0;
    std::array<FitTypeTrust, ScaleModel::kMaxTerms> fit_types;  // by terms − 1
    // The run's own fit: σ(S)/S over the accepted reflections (a sample of
    // them in a long list), and its figures over the directions at
    // sin_theta_max.
    RelativeUncertainty::Figures reflections;
    DirectionFigures directions;
    // For the maps of the report page: which cells of a map of
    // kDirectionMapSize are sampled (Coverage::mask), and the variance of
    // the run's S with its factor χ²/(n − p).
    std::vector<std::uint8_t> map_mask;
    std::shared_ptr<const ScaleVariance> variance;
    double variance_factor = 0.0;

    const FitTypeTrust& of_run() const { return fit_types[static_cast<std::size_t>(run_terms - 1)]; }
};

// The figures at the end of the run.
TrustFigures trust_figures(const TrustFirstPass& first, const TrustFits& fits, const TrustSecondPass& second,
                           const ReciprocalCell& rc, const RunFit& run);

}  // namespace velor::model
