// The stages before the list is read: the names of the run's files, the
// crystal data and the run parameters.
#include <span>
#include <string_view>
#include <vector>

#include "driver/stages.hpp"
#include "driver/summary_paths.hpp"
#include "input/run_parameters.hpp"
#include "platform/failure.hpp"
#include "textio/numeric_fields.hpp"
#include "textio/text_field.hpp"

namespace velor::driver {
namespace {

// A second argument that is not a fit-type letter counts as none; the note
// says so, since it is most likely a slip.
std::string unknown_fit_letter_note(std::span<const std::string_view> arguments, char fit_letter) {
    if (fit_letter != 'N' || arguments.size() < 2 || textio::is_blank(arguments[1])) return {};
    return message("'", arguments[1], "' is not a fit type (C, Q, L or F); the run goes on as without one");
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
std::vector<std::string> missing_file_hints(const input::FileNames& names) {
    std::vector<std::string> hints;
    if (has_file_extension(names.stem))
        hints.push_back(message("give the file name without its extension, as in 'velor ",
                                std::string_view(names.stem).substr(0, names.stem.size() - 4), "'"));
    if (names.given != names.stem)
        hints.push_back(
            message("a file name ends at its first blank: '", names.given, "' was read as '", names.stem, "'"));
    return hints;
}

// The cell as the messages show it: the lengths in F10.4, the angles in F10.3.
std::string describe_cell(const core::CrystalData& c) {
    std::string s;
    for (float v : {c.a, c.b, c.c}) s += textio::format_f(v, 10, 4);
    for (float v : {c.alpha_deg, c.beta_deg, c.gamma_deg}) s += textio::format_f(v, 10, 3);
    return s;
}

// What is wrong with crystal data that no crystal can have.
std::string impossibility_message(model::ImpossibleCrystal why, const core::CrystalData& c) {
    const auto cell = [&](const char* what) { return message("impossible unit cell", describe_cell(c), ": ", what); };
    switch (why) {
        case model::ImpossibleCrystal::cell_length: return cell("a cell length is not a number greater than zero");
        case model::ImpossibleCrystal::cell_angle: return cell("a cell angle is not between 0 and 180 degrees");
        case model::ImpossibleCrystal::no_volume: return cell("the cell angles enclose no volume");
        case model::ImpossibleCrystal::volume_out_of_range: return cell("its volume is out of range");
        case model::ImpossibleCrystal::wavelength:
            return message("impossible wavelength", textio::format_f(c.lambda, 10, 5),
                           " on the cell line: it must be a number greater than zero");
        case model::ImpossibleCrystal::scale_factor:
            return message("impossible overall scale factor", textio::format_f(c.osf, 10, 5),
                           " (the first FVAR value): it must be a number greater than zero");
        case model::ImpossibleCrystal::none: break;
    }
    return {};
}

}  // namespace

input::NamedRun name_the_run(const CommandLine& line, textio::ConsoleChannel& console,
                             textio::InputChannel& keyboard, std::ostream& errors) {
    const std::vector<std::string_view> arguments(line.arguments.begin(), line.arguments.end());
    input::NamedRun named = input::getnam(arguments, console, keyboard);
    refuse_summary_clashes(line, named.names);
    if (const std::string note = unknown_fit_letter_note(arguments, named.fit_letter); !note.empty()) {
        console.flush();  // after the banner, also where both streams go to one file
        errors << "velor: note: " << note << "\n";
    }
    return named;
}

RunInputs read_inputs(const input::FileNames& names, const core::FitRequest& request,
                      textio::OutputChannel& console, textio::InputChannel& keyboard) {
    input::RunInformation information;
    try {
        information = input::getnfo(names, request, console, keyboard);
    } catch (const MissingFileStop&) {
        throw MissingFileStop(missing_file_hints(names));
    }
    const auto& [crystal, parameters] = information;
    return {names,
            crystal,
            parameters,
            rscell(crystal),
            model::ScaleModel(parameters.terms, crystal.lambda_sq),
            model::Screening(crystal, parameters)};
}

model::ReciprocalCell rscell(const core::CrystalData& crystal) {
    // Values no crystal can have stop the run before the fit, with what is
    // wrong, rather than giving scale factors of any sign.
    if (const auto why = model::impossibility(crystal); why != model::ImpossibleCrystal::none)
        stop(impossibility_message(why, crystal));
    return model::reciprocal_cell(crystal);
}

}  // namespace velor::driver
