// The steps of a run around the numerics of src/model: the reciprocal cell,
// reading the reflection list, solving the fit and writing the corrected
// data, with the files, the reading thread, the console lines and the
// stops that the numerics leave to their callers.
#pragma once

#include <string>

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/run_parameters.hpp"
#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_model.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::driver {

// The reciprocal cell of the crystal data.  Crystal data that no crystal
// can have (a length, λ or OSF not above zero, an angle not between 0° and
// 180°, angles that enclose no volume) stop the run with what is wrong.
model::ReciprocalCell rscell(const core::CrystalData& crystal);

// Builds the normal equations: reads NAME.fcf and adds every reflection
// that passes the screening.  Returns the count of the others; with
// `extent`, notes how many reflections were read and how far out they go.
// A reflection beyond sin θ = 1 at the wavelength and cell of NAME.res
// stops the run once the list has been read.
model::Rejections bldnml(const input::FileNames& names, const core::CrystalData& crystal,
                         const core::RunParameters& parameters, const model::ReciprocalCell& rc,
                         model::NormalEquations& eq, textio::OutputChannel& console,
                         model::ListExtent* extent = nullptr);

// Solves the normal equations; singular equations stop the run with a
// message that says what to do about it.
void chlsky(model::NormalEquations& eq, core::FitResult& fit, int n, textio::OutputChannel& console);

// Applies the correction: reads NAME.fcf again, writes NAMEx.hkl as a new
// file of `outputs` and returns the statistics; with `diagnostics`, measures
// each reflection for the summary too.  `reflections`, the count the first
// pass read, sizes NAMEx.hkl in advance.
model::Statistics aplcor(const std::string& fcf_name, const std::string& hkl_name, const core::CrystalData& crystal,
                         const model::ScaleModel& scale, const model::ReciprocalCell& rc, const core::FitResult& fit,
                         long reflections, textio::OutputSet& outputs, textio::OutputChannel& console,
                         model::Diagnostics* diagnostics = nullptr);

}  // namespace velor::driver
