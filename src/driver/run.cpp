#include "driver/run.hpp"

#include <exception>

#include "driver/stages.hpp"
#include "driver/summary_of_run.hpp"
#include "driver/warnings.hpp"
#include "output/new_instructions.hpp"
#include "output/report.hpp"
#include "platform/failure.hpp"
#include "report/advice.hpp"
#include "report/cif_fragment.hpp"
#include "report/html_page.hpp"
#include "report/json_summary.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::driver {

const char* const kVersion = VELOR_VERSION;

namespace {

bool wants_summary(const CommandLine& line) {
    return !line.json_file.empty() || !line.cif_file.empty() || !line.html_file.empty();
}

// The fit the command line asks for, with the letter of the named run.
core::FitRequest fit_request(const CommandLine& line, const input::NamedRun& named) {
    core::FitRequest request = line.fit;
    request.letter = named.fit_letter;
    return request;
}

// The summary files asked for, written like the other outputs.
void write_summaries(const CommandLine& line, const report::Summary& summary, textio::OutputSet& outputs) {
    for (const auto& [name, make] : {std::pair{&line.json_file, &report::json_summary},
                                     {&line.cif_file, &report::cif_fragment}, {&line.html_file, &report::html_page}}) {
        if (name->empty()) continue;
        textio::OutputFile& file = outputs.create(*name);
        file.write_text(make(summary));
        file.close();
    }
}

// The run, stage by stage.  NAMEx.hkl, NAMEx.abs and NAMEx.ins (and the
// summary files asked for) are written to temporary files and put in place
// together at the end, under a lock on NAME.res that runs on the same stem
// share, so that a run that stops early leaves the earlier files as they
// were.  Returns the warnings.
std::vector<std::string> run_stages(const CommandLine& line, textio::ConsoleChannel& console,
                                    textio::KeyboardChannel& keyboard, std::ostream& errors) {
    output::banner(console);
    const input::NamedRun named = name_the_run(line, console, keyboard, errors);
    const RunInputs in = read_inputs(named.names, fit_request(line, named), console, keyboard);
    const bool summary = wants_summary(line);
    const FirstPass first = bldnml(in, console, summary);
    const Fit fit = chlsky(first, in.scale, console);

    textio::OutputSet outputs(in.names.res);
    const Correction correction = aplcor(in, first, fit, outputs, console, summary);
    const output::Report report = output::format_report(in.scale, fit.solution, correction.statistics);
    output::wrtabs(report, outputs.create(in.names.abs));
    const output::InstructionNotes notes = output::newins(in.names.res, outputs.create(in.names.ins), console);
    output::echabs(report, console);

    std::vector<std::string> warnings = run_warnings(
        {in.names, in.scale.parameters(), first.equations.accepted, correction.statistics, notes.twinned});
    if (summary) {
        // The figures of trust, and their warnings, exist only with a summary.
        model::TrustFigures trust = trust_of_run(in, first, fit, correction);
        for (std::string& warning : report::trust_warnings(trust)) warnings.push_back(std::move(warning));
        write_summaries(line, summarise(in, first, fit, correction, std::move(trust), warnings, kVersion), outputs);
    }
    outputs.put_in_place();
    return warnings;
}

}  // namespace

int run(const CommandLine& line, std::istream& keyboard_stream, std::ostream& console_stream, std::ostream& errors,
        textio::ConsoleChannel::Flush console_flush) {
    textio::ConsoleChannel console(console_stream, console_flush);
    textio::KeyboardChannel keyboard(keyboard_stream);
    int status = kExitDone;
    std::vector<std::string> warnings;
    try {
        warnings = run_stages(line, console, keyboard, errors);
    } catch (const textio::RecordError& e) {
        console.flush();
        errors << "velor: fatal error, " << e.location() << "\n"
               << "velor: " << e.what() << "\n";
        status = kExitRecordError;
    } catch (const MissingFileStop& e) {
        console.flush();
        for (const std::string& hint : e.hints()) errors << "velor: hint: " << hint << "\n";
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
