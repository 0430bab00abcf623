#include "driver/run.hpp"

#include <exception>
#include <memory>

#include "driver/passes.hpp"
#include "driver/run_record.hpp"
#include "driver/warnings.hpp"
#include "model/reciprocal_cell.hpp"
#include "output/report.hpp"
#include "stops/run_stop.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::driver {
namespace {

// The steps of the run.  NAMEx.hkl, NAMEx.ins and NAMEx.abs go to
// temporary files and are put in place together at the end, so that a run
// that stops early leaves the earlier three as they were.
std::vector<std::string> run_steps(std::span<const std::string_view> arguments, RunRecord& r,
                                   textio::ConsoleChannel& console, textio::KeyboardChannel& keyboard) {
    output::banner(console);
    intlze(r);
    input::getnam(arguments, console, keyboard, r.names, r.fit_request.letter);
    input::getnfo(r.names.res, r.names.fcf, r.fit_request, r.crystal, r.parameters, console, keyboard);
    r.reciprocal = model::rscell(r.crystal);
    bldnml(r.names.fcf, r.crystal, r.parameters, r.reciprocal, r.normal, console);
    chlsky(r.normal, r.solution, r.parameters.parameter_count, console);
    textio::OutputSet outputs;
    r.statistics = aplcor(r.names.fcf, r.names.hkl, r.crystal, r.parameters.parameter_count, r.reciprocal,
                                 r.solution, outputs, console);
    if (const std::string why = unphysical_scale_message(r.statistics.unphysical); !why.empty())
        stop_run(why);
    const output::WrittenReport written =
        output::wrtabs(r.names, r.parameters.parameter_count, r.solution, r.statistics, outputs, console);
    output::echabs(written.report, console);
    outputs.put_in_place();
    return run_warnings({r.names, r.parameters.parameter_count, r.normal.accepted, r.statistics,
                         written.instructions.twinned});
}

// A stem given with the extension of one of the files: the names formed
// from it have two extensions.
bool has_file_extension(std::string_view stem) {
    for (std::string_view extension : {".res", ".fcf", ".ins", ".hkl", ".abs"})
        if (stem.ends_with(extension)) return true;
    return false;
}

}  // namespace

int run(std::span<const std::string_view> arguments, std::istream& keyboard_stream, std::ostream& console_stream,
        std::ostream& errors) {
    textio::ConsoleChannel console(console_stream);
    textio::KeyboardChannel keyboard(keyboard_stream);
    auto record = std::make_unique<RunRecord>();
    int status = kExitDone;
    std::vector<std::string> warnings;
    try {
        warnings = run_steps(arguments, *record, console, keyboard);
    } catch (const textio::RecordError& e) {
        console.flush();
        errors << "velor: fatal error, " << e.location() << "\n"
               << "velor: " << e.what() << "\n";
        status = kExitRecordError;
    } catch (const MissingFileStop& e) {
        console.flush();
        if (has_file_extension(record->names.stem))
            errors << "velor: hint: give the file name without its extension, as in 'velor "
                   << record->names.stem.substr(0, record->names.stem.size() - 4) << "'\n";
        status = e.exit_status();
    } catch (const RunStop& e) {
        console.flush();
        if (*e.what() != '\0') errors << "velor: " << e.what() << "\n";
        status = e.exit_status();
    } catch (const std::exception& e) {
        // Out of memory, no thread to be had: the run cannot go on either.
        console.flush();
        errors << "velor: fatal error\n"
               << "velor: " << e.what() << "\n";
        status = kExitRecordError;
    }
    console.flush();
    if (!console_stream) {
        errors << "velor: fatal error, writing standard output\n"
               << "velor: Cannot write standard output\n";
        status = kExitRecordError;
    }
    for (const std::string& warning : warnings) errors << "velor: warning: " << warning << "\n";
    return status;
}

}  // namespace velor::driver
