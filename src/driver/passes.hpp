// The steps of a run that read the reflection list, solve the fit and write
// the corrected data: the files, the reading thread and the console lines
// around the numerics of src/model.
#pragma once

#include <string>

#include "input/crystal_data.hpp"
#include "input/file_names.hpp"
#include "input/run_parameters.hpp"
#include "model/cholesky.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/normal_equations.hpp"
#include "model/reciprocal_cell.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::driver {

// Builds the normal equations: reads NAME.fcf and adds every reflection
// that passes the screening.  Returns the count of the others; with
// `extent`, notes how many reflections were read and how far out they go.
// A reflection beyond sin θ = 1 at the wavelength and cell of NAME.res
// stops the run once the list has been read.
model::Rejections bldnml(const input::FileNames& names, const input::CrystalData& crystal,
                         const input::RunParameters& parameters, const model::ReciprocalCell& rc,
                         model::NormalEquations& eq, textio::OutputChannel& console,
                         model::ListExtent* extent = nullptr);

// Solves the normal equations; singular equations stop the run with a
// message that says what to do about it.
void chlsky(model::NormalEquations& eq, model::Solution& solution, int n, textio::OutputChannel& console);

// Applies the correction: reads NAME.fcf again, writes NAMEx.hkl as a new
// file of `outputs` and returns the statistics; with `diagnostics`, measures
// each reflection for the summary too.  `reflections`, the count the first
// pass read, sizes NAMEx.hkl in advance.
model::Statistics aplcor(const std::string& fcf_name, const std::string& hkl_name, const input::CrystalData& crystal,
                         int parameter_count, const model::ReciprocalCell& rc, const model::Solution& solution,
                         long reflections, textio::OutputSet& outputs, textio::OutputChannel& console,
                         model::Diagnostics* diagnostics = nullptr);

}  // namespace velor::driver
