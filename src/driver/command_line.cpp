// The command line is parsed with CLI11: it gives every option its --help
// line, "--" and "--name=value", and the errors of an unknown option or a
// missing value, which a hand-written parser would each have to get right.
#include "driver/command_line.hpp"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>

#include "report/advice.hpp"
#include "textio/text_field.hpp"

namespace velor::driver {
namespace {

constexpr const char* kDescription =
    "Fits an empirical scale model S(h,k,l) -- a six-component tensor in the\n"
    "direction of each reflection, times a polynomial in sin^2(theta) -- to\n"
    "Fo^2 against Fc^2 of a finished refinement, and divides every observed\n"
    "intensity by its S.";

constexpr const char* kFooter =
    "Files read:     NAME.res (cell, wavelength, FVAR), NAME.fcf (LIST 4)\n"
    "Files written:  NAMEx.hkl (corrected data), NAMEx.ins (instructions),\n"
    "                NAMEx.abs (report, also shown on the console)\n"
    "\n"
    "Without a fit type or a value the program asks whether to set the fit\n"
    "parameters, and otherwise takes linear for a wavelength up to 1.0 A and\n"
    "cubic above.\n"
    "\n"
    "Exit status: 0 done; 1 the run could not be done, for a reason it names\n"
    "(a missing file, a reflection file that is not LIST 4 or of another\n"
    "refinement, impossible crystal data, singular normal equations, a scale\n"
    "factor that is not positive); 2 unreadable input, a failed read or write,\n"
    "or a bad command line.";

// A value read as the dialogue reads a number: the nearest single-precision
// number to the decimal text (not Inf or NaN).
float number(const std::string& option, const std::string& text) {
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || !std::isfinite(value))
        throw UsageError(message("option ", option, ": '", text, "' is not a number"));
    return value;
}

[[noreturn]] void refuse(const std::string& option, const std::string& text, const char* rule) {
    throw UsageError(message("option ", option, ": ", text, " is not acceptable (", rule, ")"));
}

// The rules of the dialogue, on the single-precision values.
void settle_values(const std::optional<std::string>& min_text, const std::optional<std::string>& max_text,
                   const std::optional<std::string>& omit_text, core::FitRequest& fit) {
    if (min_text) {
        const float v = number("--sin-min", *min_text);
        if (!(v >= 0.0f && v < 1.0f)) refuse("--sin-min", *min_text, "0 <= value < 1");
        fit.sin_theta_min = v;
    }
    if (max_text) {
        float v = number("--sin-max", *max_text);
        if (v == 0.0f) v = 1.0f;
        if (!(fit.sin_theta_min.value_or(0.0f) < v && v <= 1.0f))
            refuse("--sin-max", *max_text, "sin-min < value <= 1, 0 meaning 1");
        fit.sin_theta_max = v;
    }
    if (omit_text) {
        float v = number("--omit", *omit_text);
        if (v == 0.0f) v = 3.0f;
        if (v < 0.0f) refuse("--omit", *omit_text, "value >= 0, 0 meaning 3");
        fit.omit = v;
    }
}

// A fit letter, C, Q, L or F in either case, in upper case; 0 for any
// other text.
char fit_letter_of(std::string_view text) {
    if (text.size() == 1)
        for (const char letter : {'C', 'Q', 'L', 'F'})
            if (text[0] == letter || text[0] == letter - 'A' + 'a') return letter;
    return 0;
}

bool is_auto(std::string_view text) {
    constexpr std::string_view kAuto = "auto";
    if (text.size() != kAuto.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != kAuto[i] && text[i] != kAuto[i] - 'a' + 'A') return false;
    return true;
}

// The fit letter of the run: that of --fit, which a letter after NAME may
// repeat (in either case) but not contradict, or the word after NAME.
// --fit auto takes the recommended fit and leaves no letter to repeat.
std::string settle_letter(const std::optional<std::string>& option, const std::string& positional) {
    if (!option) return positional;
    if (is_auto(*option)) {
        if (!positional.empty())
            throw UsageError(message("option --fit: auto and the fit type '", positional,
                                     "' after the name both choose the fit; give one of them"));
        return std::string(1, report::kRecommendedFit);
    }
    const char letter = fit_letter_of(*option);
    if (letter == 0)
        throw UsageError(
            message("option --fit: '", *option, "' is not a fit type (C, Q, L, F or auto, in either case)"));
    if (!positional.empty() && fit_letter_of(textio::trim_right(positional)) != letter)
        throw UsageError(message("option --fit: ", letter, " and the fit type '", positional,
                                 "' after the name differ; give one of them"));
    return std::string(1, letter);
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& words) {
    CLI::App app(kDescription, "velor");
    app.footer(kFooter);
    app.get_formatter()->column_width(24);
    CommandLine line;
    std::string name, letter;
    std::vector<std::string> ignored;
    std::optional<std::string> min_text, max_text, omit_text, fit_text;
    bool version = false;
    app.add_option("NAME", name, "File-name stem (asked for when absent)");
    app.add_option("C|Q|L|F", letter,
                   "Fit type: cubic (24 parameters), quadratic (18), linear (12) or flat (6), in either case");
    app.add_option("ignored", ignored)->group("");  // further words mean nothing
    app.add_option("--fit", fit_text,
                   "Fit type, as the letter after NAME (which may repeat it); auto: the recommended fit")
        ->type_name("C|Q|L|F|auto");
    app.add_option("--sin-min", min_text, "Low-angle cut-off of the fit, 0 <= X < 1 (0.0); asks nothing")
        ->type_name("X");
    app.add_option("--sin-max", max_text, "High-angle cut-off of the fit, up to 1, 0 meaning 1 (1.0); asks nothing")
        ->type_name("X");
    app.add_option("--omit", omit_text, "Reject from the fit if Fo2 < X sigma(Fo2), 0 meaning 3 (3.0); asks nothing")
        ->type_name("X");
    app.add_option("--json", line.json_file, "Write a summary of the run as JSON to FILE")->type_name("FILE");
    app.add_option("--cif", line.cif_file, "Write the absorption-correction items as a CIF fragment to FILE")
        ->type_name("FILE");
    app.add_option("--html", line.html_file, "Write a report page with plots of the correction to FILE")
        ->type_name("FILE");
    app.add_flag("--version", version, "Print the program version and exit");

    std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them from the back
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        line.action = CommandLine::Action::help;
        line.help_text = app.help();
        return line;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    if (version) {
        line.action = CommandLine::Action::version;
        return line;
    }
    line.arguments = {name, settle_letter(fit_text, letter)};
    settle_values(min_text, max_text, omit_text, line.fit);
    return line;
}

}  // namespace velor::driver
