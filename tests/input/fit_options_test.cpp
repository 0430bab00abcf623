// The run parameters: command-line letter, default road and the parameter
// dialogue, driven through the keyboard and console channels.  The golden
// run linear_dialogue has the dialogue's bytes, a refusal at every question
// among them; these cases are its boundaries and its other roads.
#include <cctype>
#include <charconv>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/run_parameters.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

std::string text(float x) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

// "Fit min max OMIT extinction-limit OMIT-echo", then a word for each answer
// refused and the text of each nonsense message.
std::string outcome(float lambda, char letter, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    textio::KeyboardChannel keyboard(in);
    textio::ConsoleChannel channel(out);
    core::FitRequest request;
    request.letter = letter;
    const core::RunParameters p = settle_fit_options(lambda, request, channel, keyboard);
    const std::string console = out.str();
    std::string s = std::string(1, static_cast<char>(std::toupper(p.fit_description[0]))) + " " +
                    text(p.sin_theta_min) + " " + text(p.sin_theta_max) + " " + text(p.omit) + " " +
                    text(p.extinction_limit) + " " + console.substr(console.find("OMIT parameter = ") + 17, 4);
    for (std::size_t at = 0; (at = console.find("Not acceptable", at)) != std::string::npos; ++at) s += " again";
    for (std::size_t at = 0; (at = console.find("Nonsense", at)) != std::string::npos; ++at)
        s += " / " + console.substr(at, console.find(" \r\n", at) - at);
    return s;
}

TEST(FitOptions, LettersDefaultsAndDialogue) {
    const float mo = 0.71073f;
    const std::string yl = "y\nl\n";  // into the dialogue, linear fit
    const struct {
        float lambda;
        char letter;  // in the fit-type field on entry
        std::string answers, expected;
    } cases[] = {
        // A fit-type letter: no question, default cut-offs; the limit is
        // 0.35·√λ with the root in double precision (in single precision
        // it would be one bit off for this one).
        {mo, 'C', "", "C 0 1 3 0.2950668 3.00"},
        {1.0f, 'F', "", "F 0 1 3 0.35 3.00"},
        {1.3922f, 'Q', "", "Q 0 1 3 0.41297033 3.00"},
        // N and no "y" (a blank before it does not count): linear up to 1 Å, cubic above.
        {1.0f, 'N', "\n", "L 0 1 3 0.35 3.00"},
        {1.0001f, 'N', "\n", "C 0 1 3 0.3500175 3.00"},
        {mo, 'N', " y\n", "L 0 1 3 0.2950668 3.00"},
        // Fit type: either case, first column only; anything else is asked again.
        {mo, 'N', "y\nquadratic\n\n\n\n", "Q 0 1 3 0.2950668 3.00"},
        {mo, 'N', "Y\n\n n\nf\n\n\n\n", "F 0 1 3 0.2950668 3.00 again again"},
        // sin θ min: 0 ≤ min < 1; nonsense means 0; only columns 1-8 are read.
        {mo, 'N', yl + "1\n0.999\n\n\n", "L 0.999 1 3 0.2950668 3.00 again"},
        {mo, 'N', yl + "abc\n\n\n", "L 0 1 3 0.2950668 3.00 / Nonsense input, using 0.0 for sin(theta)min."},
        {mo, 'N', yl + "0.123456789\n\n\n", "L 0.123456 1 3 0.2950668 3.00"},
        // sin θ max: min < max ≤ 1; 0 means 1; nonsense means 1.
        {mo, 'N', yl + "0.5\n0\n\n", "L 0.5 1 3 0.2950668 3.00"},
        {mo, 'N', yl + "0.5\n1.5\n0.8\n\n", "L 0.5 0.8 3 0.2950668 3.00 again"},
        {mo, 'N', yl + "0.5\nabc\n\n", "L 0.5 1 3 0.2950668 3.00 / Nonsense input, using 1.0 for sin(theta)max."},
        // OMIT: 0 means 3, nonsense means 3; a value too wide for F4.2
        // echoes as asterisks.
        {mo, 'N', yl + "\n\n0\n", "L 0 1 3 0.2950668 3.00"},
        {mo, 'N', yl + "\n\nabc\n", "L 0 1 3 0.2950668 3.00 / Nonsense input, using 3.0 for OMIT."},
        {mo, 'N', yl + "\n\n10\n", "L 0 1 10 0.2950668 ****"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(c.lambda, c.letter, c.answers), c.expected) << c.answers;
}

}  // namespace
}  // namespace velor::input
