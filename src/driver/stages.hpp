// The stages of a run and the values that pass between them.  Each stage
// takes values and returns one; the files, the reading threads, the console
// lines and the stops that the numerics of src/model leave to their
// callers are the stages' business.
#pragma once

#include <memory>
#include <optional>
#include <ostream>

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/run_parameters.hpp"
#include "driver/command_line.hpp"
#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_model.hpp"
#include "model/screening.hpp"
#include "model/trust.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::driver {

// What the run works on, settled before the list is read: the names of its
// files, the crystal data and the run parameters, and what follows from
// them alone, the reciprocal cell, the scale model of the fit type and the
// screening of the reflections.
struct RunInputs {
    input::FileNames names;
    core::CrystalData crystal;
    core::RunParameters parameters;
    model::ReciprocalCell reciprocal;
    model::ScaleModel scale;
    model::Screening screening;
};

// The first pass over the list: the normal equations of the accepted
// reflections and the count of the others; with a summary, how many
// reflections were read and how far out they go, and the first pass's
// measurements of trust.
struct FirstPass {
    model::NormalEquations equations;
    model::Rejections rejections;
    model::ListExtent extent;
    std::optional<model::TrustFirstPass> trust;

    long reflections() const { return equations.accepted + rejections.total(); }
};

// The fit: the coefficients, and the Cholesky factor of the normal matrix
// they were solved with, which the standard uncertainties come from; with a
// summary, the four fit types and the variance of S (in a place of their
// own, which the second pass's measurements refer to).
struct Fit {
    core::FitResult solution;
    model::NormalEquations factor;
    std::unique_ptr<const model::TrustFits> trust;
};

// The second pass: the statistics of the report, and with a summary the
// measurements of each reflection for it.
struct Correction {
    model::Statistics statistics;
    std::optional<model::Diagnostics> diagnostics;
    std::optional<model::TrustSecondPass> trust;
};

// getnam: the names of the files and the fit letter, from the command line
// or the keyboard.  A summary file that would replace a file of the run
// stops the run here, before anything is read; a second argument that is
// not a fit letter gets a note on the error stream.
input::NamedRun name_the_run(const CommandLine& line, textio::ConsoleChannel& console,
                             textio::InputChannel& keyboard, std::ostream& errors);

// getnfo and rscell: the crystal data and the run parameters, and what
// follows from them.  A missing input file stops the run with hints on how
// the name given may have led to it.
RunInputs read_inputs(const input::FileNames& names, const core::FitRequest& request,
                      textio::OutputChannel& console, textio::InputChannel& keyboard);

// The reciprocal cell of the crystal data.  Crystal data that no crystal
// can have (a length, λ or OSF not above zero, an angle not between 0° and
// 180°, angles that enclose no volume) stop the run with what is wrong.
model::ReciprocalCell rscell(const core::CrystalData& crystal);

// Builds the normal equations: reads NAME.fcf and adds every reflection
// that passes the screening; with `measure` (for a summary), notes how far
// out the list goes and gathers the first pass's measurements of trust.  A
// reflection beyond sin θ = 1 at the wavelength and cell of NAME.res stops
// the run once the list has been read.
FirstPass bldnml(const RunInputs& in, textio::OutputChannel& console, bool measure);

// Solves the normal equations; singular equations stop the run with a
// message that says what to do about it.  With the first pass's
// measurements, solves the four fit types from them too.
Fit chlsky(const FirstPass& first, const model::ScaleModel& scale, textio::OutputChannel& console);

// Applies the correction: reads NAME.fcf again, writes NAMEx.hkl as a new
// file of `outputs` and returns the statistics; with `measure` (for a
// summary), measures each reflection too, and with the fit types of `fit`
// compares them on it.  A scale factor that is not a
// positive number stops the run once the list has been corrected.
Correction aplcor(const RunInputs& in, const FirstPass& first, const Fit& fit, textio::OutputSet& outputs,
                  textio::OutputChannel& console, bool measure);

}  // namespace velor::driver
