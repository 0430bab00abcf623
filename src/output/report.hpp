// The boxed text of a run: the banner, the report file NAMEx.abs and its
// echo on the console.
#pragma once

#include <functional>
#include <string>

#include "core/fit_result.hpp"
#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "output/new_instructions.hpp"
#include "textio/output_set.hpp"
#include "textio/output_channel.hpp"

namespace velor::output {

// The ten banner lines that open every run.
void banner(textio::OutputChannel& console);

// Writes the report NAMEx.abs: coefficients, the range and ratio of the
// scale factors and the R-values before and after; NAMEx.ins is written
// between its rows 26 and 27.  Both are new files of `outputs`.
struct WrittenReport {
    const textio::OutputFile& report;
    InstructionNotes instructions;
};
WrittenReport wrtabs(const input::FileNames& names, int parameter_count, const core::FitResult& fit,
                     const model::Statistics& statistics, textio::OutputSet& outputs,
                     textio::OutputChannel& console);

// The rows of the report (29 of them), written to any channel; `between`
// runs after row 26.
void write_report(textio::OutputChannel& out, int parameter_count, const core::FitResult& fit,
                  const model::Statistics& statistics, const std::function<void()>& between);

// Shows rows 9 to 28 of the report on the console, without the box; the
// report file is closed and not yet in place.
void echabs(const textio::OutputFile& report_file, textio::OutputChannel& console);

}  // namespace velor::output
