// Generated data read back as a run reads them, and the two passes of a run
// over them in memory: the run's own fit and what the summaries measure of
// it (its uncertainty, the directions it samples, the four fit types'
// cross-validation and displacement-like parts).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/reflection.hpp"
#include "core/run_parameters.hpp"
#include "model/correction.hpp"
#include "model/cross_validation.hpp"
#include "model/direction_coverage.hpp"
#include "model/fit_type_comparison.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_uncertainty.hpp"

namespace velor::testing {

struct GeneratedData {
    core::CrystalData crystal;
    std::vector<core::Reflection> reflections;
};

// velor-gen with `options` (--out is added), read back; fails the test on
// any error.
GeneratedData generate(const std::vector<std::string>& options);

struct MeasuredRun {
    core::RunParameters parameters;
    model::ReciprocalCell rc;
    model::NormalEquations factor;  // the run's own equations, with their factor
    core::FitResult fit;
    model::Statistics statistics;  // of the correction: the report's R values
    double chi_squared = 0.0;
    long accepted = 0;
    double max_sin2 = 0.0;  // of the accepted reflections
    std::unique_ptr<model::ScaleVariance> variance;
    model::RelativeUncertainty relative;  // σ(S)/S of the accepted reflections
    std::unique_ptr<model::DirectionBitmap> directions;
    model::FitTypeSolutions fit_types;
    std::array<model::FitTypeFigures, 4> figures;  // by terms − 1

    model::ScaleModel model() const { return {parameters.terms, factor_lambda_sq}; }
    double variance_factor() const { return model::variance_factor(chi_squared, accepted, parameters.parameter_count); }
    double factor_lambda_sq = 0.0;
};

// Both passes with the fit of `letter` (C, Q, L or F); fails the test when
// the fit cannot be solved.
std::unique_ptr<MeasuredRun> measure(const GeneratedData& data, char letter);

}  // namespace velor::testing
