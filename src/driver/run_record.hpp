// All data of one run, owned by the driver and handed to each step by
// reference.
#pragma once

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/run_parameters.hpp"
#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"

namespace velor::driver {

struct RunRecord {
    input::FileNames names;
    core::FitRequest fit_request;  // the fit type and values the command line asks for
    core::CrystalData crystal;
    core::RunParameters parameters;
    model::ReciprocalCell reciprocal;
    model::NormalEquations normal;
    model::Rejections rejections;
    model::ListExtent extent;  // measured only for a summary
    core::FitResult fit;
    model::Statistics statistics;
};

// Sets the work fields to zero: the accumulation of the normal equations
// relies on starting from zero.
inline void intlze(RunRecord& record) {
    record.crystal = {};
    record.reciprocal = {};
    record.normal = {};
    record.fit = {};
    record.statistics = {};
}

}  // namespace velor::driver
