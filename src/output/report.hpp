// The boxed text of a run: the banner, the report file NAMEx.abs and its
// echo on the console.
#pragma once

#include <string>
#include <vector>

#include "core/fit_result.hpp"
#include "model/correction.hpp"
#include "model/scale_model.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_file.hpp"

namespace velor::output {

// The ten banner lines that open every run.
void banner(textio::OutputChannel& console);

// The report: the coefficients of the scale model, the range and ratio of
// the scale factors and the R-values before and after, in a box.  Its 29
// rows are formatted once, each without its line end; the same rows go to
// NAMEx.abs and, without the box, to the console.
struct Report {
    std::vector<std::string> rows;
};
Report format_report(const model::ScaleModel& scale, const core::FitResult& fit, const model::Statistics& statistics);

// Writes the report to NAMEx.abs, a new file of the run's outputs, and
// closes it.
void wrtabs(const Report& report, textio::OutputFile& file);

// Shows rows 9 to 28 of the report on the console, without the box.
void echabs(const Report& report, textio::OutputChannel& console);

}  // namespace velor::output
