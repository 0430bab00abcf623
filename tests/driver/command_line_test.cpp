// The command line, word by word: what each gives the run, or the usage
// error it is.
#include <gtest/gtest.h>

#include <charconv>

#include "driver/command_line.hpp"

namespace velor::driver {
namespace {

std::string text(const std::optional<float>& v) {
    if (!v) return "-";
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *v).ptr);
}

// "NAME|LETTER min max omit json|cif|html", or "error: ...".
std::string outcome(const std::vector<std::string>& words) {
    try {
        const CommandLine c = parse_command_line(words);
        if (c.action == CommandLine::Action::help) return "help";
        if (c.action == CommandLine::Action::version) return "version";
        return c.arguments[0] + "|" + c.arguments[1] + " " + text(c.fit.sin_theta_min) + " " +
               text(c.fit.sin_theta_max) + " " + text(c.fit.omit) + " " + c.json_file + "|" + c.cif_file + "|" +
               c.html_file;
    } catch (const UsageError& e) {
        return std::string("error: ") + e.what();
    }
}

TEST(CommandLine, WordsAndWhatTheyGive) {
    struct Case {
        std::vector<std::string> words;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "| - - - ||"},
        {{"demo", "L"}, "demo|L - - - ||"},
        {{"demo", "cubic", "more", "words"}, "demo|cubic - - - ||"},
        {{"--json", "d.json", "--cif=d.cif", "--html", "d.html", "demo"}, "demo| - - - d.json|d.cif|d.html"},
        // "--" ends the options: a stem may begin with a minus.
        {{"--", "-odd", "q"}, "-odd|q - - - ||"},
        {{"-h"}, "help"},
        {{"demo", "--help"}, "help"},
        {{"--version"}, "version"},
        // The values obey the rules of the dialogue, on single-precision numbers.
        {{"--sin-min", "0.1", "--sin-max", "0.6", "--omit", "4", "demo"}, "demo| 0.1 0.6 4 ||"},
        {{"--sin-max", "0", "--omit", "0", "demo"}, "demo| - 1 3 ||"},
        {{"--sin-min=0.999", "demo"}, "demo| 0.999 - - ||"},
        {{"--sin-min", "1", "demo"}, "error: option --sin-min: 1 is not acceptable (0 <= value < 1)"},
        {{"--sin-min=-0.1", "demo"}, "error: option --sin-min: -0.1 is not acceptable (0 <= value < 1)"},
        {{"--sin-min", "0.5", "--sin-max", "0.5", "demo"},
         "error: option --sin-max: 0.5 is not acceptable (sin-min < value <= 1, 0 meaning 1)"},
        {{"--sin-max", "1.5", "demo"}, "error: option --sin-max: 1.5 is not acceptable (sin-min < value <= 1, 0 meaning 1)"},
        {{"--omit=-1", "demo"}, "error: option --omit: -1 is not acceptable (value >= 0, 0 meaning 3)"},
        {{"--omit", "abc", "demo"}, "error: option --omit: 'abc' is not a number"},
        {{"--omit", "1e39", "demo"}, "error: option --omit: '1e39' is not a number"},
        {{"--omit", "nan", "demo"}, "error: option --omit: 'nan' is not a number"},
        {{"--bogus", "demo"}, "error: The following argument was not expected: --bogus"},
        {{"demo", "--json"}, "error: --json: 1 required FILE missing"},
        // --fit is the letter after NAME, which may repeat it in either case.
        {{"--fit", "q", "demo"}, "demo|Q - - - ||"},
        {{"--fit=F"}, "|F - - - ||"},
        {{"demo", "c", "--fit", "C"}, "demo|C - - - ||"},
        {{"--fit", "C", "demo", "L"}, "error: option --fit: C and the fit type 'L' after the name differ; give one of "
                                      "them"},
        {{"--fit", "L", "demo", "cubic"}, "error: option --fit: L and the fit type 'cubic' after the name differ; "
                                          "give one of them"},
        // --fit auto is the recommended fit and leaves no letter to repeat.
        {{"--fit", "AUTO", "demo"}, "demo|F - - - ||"},
        {{"--fit", "auto", "demo", "F"}, "error: option --fit: auto and the fit type 'F' after the name both choose "
                                         "the fit; give one of them"},
        {{"--fit", "automatic", "demo"},
         "error: option --fit: 'automatic' is not a fit type (C, Q, L, F or auto, in either case)"},
    };
    for (const Case& c : cases) EXPECT_EQ(outcome(c.words), c.expected) << testing::PrintToString(c.words);
}

}  // namespace
}  // namespace velor::driver
