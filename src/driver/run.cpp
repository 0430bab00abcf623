#include "driver/run.hpp"

#include <exception>
#include <memory>

#include "driver/run_record.hpp"
#include "input/file_names.hpp"
#include "input/run_parameters.hpp"
#include "model/cholesky.hpp"
#include "model/correction.hpp"
#include "model/normal_equations.hpp"
#include "model/reciprocal_cell.hpp"
#include "output/report.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::driver {
namespace {

void run_steps(std::span<const std::string_view> arguments, RunRecord& r, textio::ConsoleChannel& console,
               textio::KeyboardChannel& keyboard) {
    output::banner(console);
    intlze(r);
    input::getnam(arguments, console, keyboard, r.names, r.fit_type);
    input::getnfo(r.names.res, r.names.fcf, r.fit_type, r.crystal, r.parameters, console, keyboard);
    r.reciprocal = model::rscell(r.crystal);
    model::bldnml(r.names.fcf, r.crystal, r.parameters, r.reciprocal, r.normal, console);
    model::chlsky(r.normal, r.solution, r.parameters.parameter_count, console);
    r.statistics = model::aplcor(r.names.fcf, r.names.hkl, r.crystal, r.parameters.parameter_count, r.reciprocal,
                                 r.solution, console);
    output::wrtabs(r.names, r.parameters.parameter_count, r.solution, r.statistics, console);
    output::echabs(r.names.abs, console);
}

}  // namespace

int run(std::span<const std::string_view> arguments, std::istream& keyboard_stream, std::ostream& console_stream,
        std::ostream& errors) {
    textio::ConsoleChannel console(console_stream);
    textio::KeyboardChannel keyboard(keyboard_stream);
    auto record = std::make_unique<RunRecord>();
    int status = textio::kExitDone;
    try {
        run_steps(arguments, *record, console, keyboard);
    } catch (const textio::RecordError& e) {
        console.flush();
        errors << "velor: fatal error, " << e.location() << "\n"
               << "velor: " << e.what() << "\n";
        status = textio::kExitRecordError;
    } catch (const textio::RunStop& e) {
        console.flush();
        if (*e.what() != '\0') errors << "velor: " << e.what() << "\n";
        status = e.exit_status();
    } catch (const std::exception& e) {
        // Out of memory, no thread to be had: the run cannot go on either.
        console.flush();
        errors << "velor: fatal error\n"
               << "velor: " << e.what() << "\n";
        status = textio::kExitRecordError;
    }
    console.flush();
    if (!console_stream) {
        errors << "velor: fatal error, writing standard output\n"
               << "velor: Cannot write standard output\n";
        status = textio::kExitRecordError;
    }
    return status;
}

}  // namespace velor::driver
