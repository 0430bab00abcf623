// All data of one run, owned by the driver and handed to each step by
// reference.
#pragma once

#include "input/crystal_data.hpp"
#include "input/file_names.hpp"
#include "input/run_parameters.hpp"
#include "model/cholesky.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/normal_equations.hpp"
#include "model/reciprocal_cell.hpp"

namespace velor::driver {

struct RunRecord {
    input::FileNames names;
    input::FitRequest fit_request;  // the fit type and values the command line asks for
    input::CrystalData crystal;
    input::RunParameters parameters;
    model::ReciprocalCell reciprocal;
    model::NormalEquations normal;
    model::Rejections rejections;
    model::ListExtent extent;  // measured only for a summary
    model::Solution solution;
    model::Statistics statistics;
};

// Sets the work fields to zero: the accumulation of the normal equations
// relies on starting from zero.
inline void intlze(RunRecord& record) {
    record.crystal = {};
    record.reciprocal = {};
    record.normal = {};
    record.solution = {};
    record.statistics = {};
}

}  // namespace velor::driver
