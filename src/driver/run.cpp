#include "driver/run.hpp"

#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "driver/passes.hpp"
#include "driver/run_record.hpp"
#include "driver/summary_of_run.hpp"
#include "driver/summary_paths.hpp"
#include "driver/warnings.hpp"
#include "input/run_parameters.hpp"
#include "model/scale_model.hpp"
#include "output/report.hpp"
#include "report/cif_fragment.hpp"
#include "report/html_page.hpp"
#include "report/json_summary.hpp"
#include "platform/failure.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"
#include "textio/text_field.hpp"

namespace velor::driver {

const char* const kVersion = VELOR_VERSION;

namespace {

bool wants_summary(const CommandLine& line) {
    return !line.json_file.empty() || !line.cif_file.empty() || !line.html_file.empty();
}

// A summary file, written like the other outputs.
void write_summary_file(textio::OutputSet& outputs, const std::string& name, const std::string& text) {
    if (name.empty()) return;
    textio::OutputFile& file = outputs.create(name);
    file.write_text(text);
    file.close();
}

// A second argument that is not a fit-type letter counts as none; the note
// says so, since it is most likely a slip.
std::string unknown_fit_letter_note(std::span<const std::string_view> arguments, char fit_letter) {
    if (fit_letter != 'N' || arguments.size() < 2 || textio::is_blank(arguments[1])) return {};
    std::string note = "'";
    note.append(arguments[1]).append("' is not a fit type (C, Q, L or F); the run goes on as without one");
    return note;
}

// The steps of the run.  NAMEx.hkl, NAMEx.ins and NAMEx.abs (and the
// summary files asked for) go to temporary files and are put in place
// together at the end, so that a run that stops early leaves the earlier
// files as they were.
std::vector<std::string> run_steps(const CommandLine& line, RunRecord& r, textio::ConsoleChannel& console,
                                   textio::KeyboardChannel& keyboard, std::ostream& errors) {
    output::banner(console);
    intlze(r);
    const std::vector<std::string_view> arguments(line.arguments.begin(), line.arguments.end());
    r.fit_request = line.fit;
    input::NamedRun named = input::getnam(arguments, console, keyboard);
    r.names = std::move(named.names);
    r.fit_request.letter = named.fit_letter;
    refuse_summary_clashes(line, r.names);
    if (const std::string note = unknown_fit_letter_note(arguments, r.fit_request.letter); !note.empty()) {
        console.flush();  // after the banner, also where both streams go to one file
        errors << "velor: note: " << note << "\n";
    }
    input::getnfo(r.names.res, r.names.fcf, r.fit_request, r.crystal, r.parameters, console, keyboard);
    r.reciprocal = rscell(r.crystal);
    const bool summary = wants_summary(line);
    r.rejections = bldnml(r.names, r.crystal, r.parameters, r.reciprocal, r.normal, console,
                          summary ? &r.extent : nullptr);
    chlsky(r.normal, r.fit, r.parameters.parameter_count, console);

    // Runs on the same stem take turns to put their sets in place.
    textio::OutputSet outputs(r.names.res);
    const model::Screening screening(r.crystal, r.parameters);
    std::optional<model::Diagnostics> diagnostics;
    if (summary) diagnostics.emplace(r.extent, screening);
    const model::ScaleModel scale(r.parameters.terms, r.crystal.lambda_sq);
    r.statistics = aplcor(r.names.fcf, r.names.hkl, r.crystal, scale, r.reciprocal, r.fit,
                          r.normal.accepted + r.rejections.total(), outputs, console,
                          diagnostics ? &*diagnostics : nullptr);
    if (const std::string why = unphysical_scale_message(r.statistics.unphysical); !why.empty()) stop(why);
    const output::WrittenReport written =
        output::wrtabs(r.names, r.parameters.parameter_count, r.fit, r.statistics, outputs, console);
    output::echabs(written.report, console);

    std::vector<std::string> warnings = run_warnings(
        {r.names, r.parameters.parameter_count, r.normal.accepted, r.statistics, written.instructions.twinned});
    if (summary) {
        const report::Summary s = summarise(r, *diagnostics, warnings, kVersion);
        write_summary_file(outputs, line.json_file, report::json_summary(s));
        write_summary_file(outputs, line.cif_file, report::cif_fragment(s));
        if (!line.html_file.empty()) write_summary_file(outputs, line.html_file, report::html_page(s));
    }
    outputs.put_in_place();
    return warnings;
}

// A stem given with the extension of one of the files: the names formed
// from it have two extensions.
bool has_file_extension(std::string_view stem) {
    for (std::string_view extension : {".res", ".fcf", ".ins", ".hkl", ".abs"})
        if (stem.ends_with(extension)) return true;
    return false;
}

// What the missing-file stop adds on the error stream: how the name given
// became the names looked for, where that may be the reason.
void missing_file_hints(const input::FileNames& names, std::ostream& errors) {
    if (has_file_extension(names.stem))
        errors << "velor: hint: give the file name without its extension, as in 'velor "
               << names.stem.substr(0, names.stem.size() - 4) << "'\n";
    if (names.given != names.stem)
        errors << "velor: hint: a file name ends at its first blank: '" << names.given << "' was read as '"
               << names.stem << "'\n";
}

}  // namespace

int run(const CommandLine& line, std::istream& keyboard_stream, std::ostream& console_stream, std::ostream& errors,
        textio::ConsoleChannel::Flush console_flush) {
    textio::ConsoleChannel console(console_stream, console_flush);
    textio::KeyboardChannel keyboard(keyboard_stream);
    auto record = std::make_unique<RunRecord>();
    int status = kExitDone;
    std::vector<std::string> warnings;
    try {
        warnings = run_steps(line, *record, console, keyboard, errors);
    } catch (const textio::RecordError& e) {
        console.flush();
        errors << "velor: fatal error, " << e.location() << "\n"
               << "velor: " << e.what() << "\n";
        status = kExitRecordError;
    } catch (const MissingFileStop& e) {
        console.flush();
        missing_file_hints(record->names, errors);
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
