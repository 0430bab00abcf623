// The run parameters: command-line letter, default road and the parameter
// dialogue, driven through the keyboard and console channels.  Expected
// console bytes are typed out literally, CR LF line ends included; the
// prompts of the dialogue run on in one line because the answers come from
// a stream, not a terminal.
#include <charconv>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/run_parameters.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

std::string text(float x) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

struct Outcome {
    RunParameters p;
    std::string console;
};

Outcome settle(float lambda, char letter, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    textio::KeyboardChannel keyboard(in);
    textio::ConsoleChannel console(out);
    Outcome o;
    o.p = settle_fit_options(lambda, FitRequest{.letter = letter}, console, keyboard);
    o.console = out.str();
    return o;
}

const std::string kQuestion = "   Do you want to control the input parameters ? [N]: \r\n";
const std::string kAgain = "   Not acceptable, again please: ";

// The dialogue after "y": the four prompts, each followed by what the
// answers to it add (refusals, messages), then the end-of-input lines.
std::string asked(const std::string& type, const std::string& min, const std::string& max, const std::string& omit) {
    return kQuestion + "      Enter cubic(C), quadratic(Q) or  linear(L) or flat(F) " + type +
           "      Enter sin(theta) min. cutoff [0.0]: " + min + "      Enter sin(theta) max. cutoff [1.0]: " + max +
           "      Enter OMIT, (reject if Fo2 < OMIT(sigmaFo2) [3.0]: " + omit + "  \r\n   End of input\r\n  \r\n";
}

std::string echo(const std::string& type, const std::string& min, const std::string& max, const std::string& omit) {
    return "   Running with the following parameters: \r\n\r\n      Type of fit    = " + type +
           "\r\n      Sin(theta)min. = " + min + "\r\n      Sin(theta)max. = " + max +
           "\r\n      OMIT parameter = " + omit + "\r\n\r\n";
}

const std::string kCubic = "cubic (24 parameters)     ";
const std::string kQuadratic = "quadratic (18 parameters) ";
const std::string kLinear = "linear (12 parameters)    ";
const std::string kFlat = "flat (6 parameters)       ";

TEST(FitOptions, LettersDefaultsAndDialogue) {
    struct Case {
        float lambda;
        char letter;  // in the fit-type field on entry
        std::string answers, before_echo, type, min, max, omit;
        // count/terms/top power, sin θ min, max, OMIT, extinction limit (0.35·√λ)
        std::string values;
    };
    const std::string yl = "y\nl\n";  // into the dialogue, linear fit
    const Case cases[] = {
        // A fit-type letter: no question, default cut-offs.
        {0.71073f, 'C', "", "", kCubic, "0.00", "1.00", "3.00", "24/4/3 0 1 3 0.2950668"},
        {0.71073f, 'Q', "", "", kQuadratic, "0.00", "1.00", "3.00", "18/3/2 0 1 3 0.2950668"},
        {1.54184f, 'L', "", "", kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.43459797"},
        {1.0f, 'F', "", "", kFlat, "0.00", "1.00", "3.00", "6/1/0 0 1 3 0.35"},
        // The root of λ in double precision: in single precision the limit
        // would be one bit off for these wavelengths.
        {1.7902f, 'L', "", "", kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.46829423"},
        {1.3922f, 'L', "", "", kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.41297033"},
        // N and no "y" (a blank before it does not count): linear up to 1 Å, cubic above.
        {0.71073f, 'N', "\n", kQuestion, kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.2950668"},
        {1.54184f, 'N', "\n", kQuestion, kCubic, "0.00", "1.00", "3.00", "24/4/3 0 1 3 0.43459797"},
        {1.0f, 'N', "\n", kQuestion, kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.35"},
        {1.0001f, 'N', "\n", kQuestion, kCubic, "0.00", "1.00", "3.00", "24/4/3 0 1 3 0.3500175"},
        {0.71073f, 'N', " y\n", kQuestion, kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.2950668"},
        // The whole dialogue, byte for byte.
        {1.54184f, 'N', "y\nq\n0.1\n0.9\n4\n",
         "   Do you want to control the input parameters ? [N]: \r\n"
         "      Enter cubic(C), quadratic(Q) or  linear(L) or flat(F)       Enter sin(theta) min. cutoff [0.0]: "
         "      Enter sin(theta) max. cutoff [1.0]:       Enter OMIT, (reject if Fo2 < OMIT(sigmaFo2) [3.0]:   \r\n"
         "   End of input\r\n  \r\n",
         kQuadratic, "0.10", "0.90", "4.00", "18/3/2 0.1 0.9 4 0.43459797"},
        // Fit type: either case, first column only; anything else is asked again.
        {0.71073f, 'N', "Y\nx\nq\n\n\n\n", asked(kAgain, "", "", ""), kQuadratic, "0.00", "1.00", "3.00",
         "18/3/2 0 1 3 0.2950668"},
        {0.71073f, 'N', "y\nC\n\n\n\n", asked("", "", "", ""), kCubic, "0.00", "1.00", "3.00",
         "24/4/3 0 1 3 0.2950668"},
        {0.71073f, 'N', "y\nf\n\n\n\n", asked("", "", "", ""), kFlat, "0.00", "1.00", "3.00", "6/1/0 0 1 3 0.2950668"},
        {0.71073f, 'N', "y\nquadratic\n\n\n\n", asked("", "", "", ""), kQuadratic, "0.00", "1.00", "3.00",
         "18/3/2 0 1 3 0.2950668"},
        {0.71073f, 'N', "y\n\n n\nF\n\n\n\n", asked(kAgain + kAgain, "", "", ""), kFlat, "0.00", "1.00", "3.00",
         "6/1/0 0 1 3 0.2950668"},
        // sin θ min: 0 ≤ min < 1; nonsense means 0; only columns 1-8 are read.
        {0.71073f, 'N', yl + "1\n0.999\n\n\n", asked("", kAgain, "", ""), kLinear, "1.00", "1.00", "3.00",
         "12/2/1 0.999 1 3 0.2950668"},
        {0.71073f, 'N', yl + "-0.1\n0.25\n\n\n", asked("", kAgain, "", ""), kLinear, "0.25", "1.00", "3.00",
         "12/2/1 0.25 1 3 0.2950668"},
        {0.71073f, 'N', yl + "abc\n\n\n", asked("", "   Nonsense input, using 0.0 for sin(theta)min. \r\n", "", ""),
         kLinear, "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.2950668"},
        {0.71073f, 'N', yl + "0.123456789\n\n\n", asked("", "", "", ""), kLinear, "0.12", "1.00", "3.00",
         "12/2/1 0.123456 1 3 0.2950668"},
        // sin θ max: min < max ≤ 1; 0 means 1; nonsense means 1.
        {0.71073f, 'N', yl + "0.5\n0\n\n", asked("", "", "", ""), kLinear, "0.50", "1.00", "3.00",
         "12/2/1 0.5 1 3 0.2950668"},
        {0.71073f, 'N', yl + "0.5\n1.5\n0.8\n\n", asked("", "", kAgain, ""), kLinear, "0.50", "0.80", "3.00",
         "12/2/1 0.5 0.8 3 0.2950668"},
        {0.71073f, 'N', yl + "0.5\n0.5\n\n\n", asked("", "", kAgain, ""), kLinear, "0.50", "1.00", "3.00",
         "12/2/1 0.5 1 3 0.2950668"},
        {0.71073f, 'N', yl + "0.5\nabc\n\n", asked("", "", "   Nonsense input, using 1.0 for sin(theta)max. \r\n", ""),
         kLinear, "0.50", "1.00", "3.00", "12/2/1 0.5 1 3 0.2950668"},
        // OMIT: 0 means 3, a negative value is refused, nonsense means 3;
        // a value too wide for F4.2 echoes as asterisks.
        {0.71073f, 'N', yl + "\n\n0\n", asked("", "", "", ""), kLinear, "0.00", "1.00", "3.00",
         "12/2/1 0 1 3 0.2950668"},
        {0.71073f, 'N', yl + "\n\n-1\n5\n", asked("", "", "", kAgain), kLinear, "0.00", "1.00", "5.00",
         "12/2/1 0 1 5 0.2950668"},
        {0.71073f, 'N', yl + "\n\nabc\n", asked("", "", "", "   Nonsense input, using 3.0 for OMIT. \r\n"), kLinear,
         "0.00", "1.00", "3.00", "12/2/1 0 1 3 0.2950668"},
        {0.71073f, 'N', yl + "\n\n10\n", asked("", "", "", ""), kLinear, "0.00", "1.00", "****",
         "12/2/1 0 1 10 0.2950668"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.letter) + " " + c.answers);
        const Outcome o = settle(c.lambda, c.letter, c.answers);
        const RunParameters& p = o.p;
        EXPECT_EQ(o.console, c.before_echo + echo(c.type, c.min, c.max, c.omit));
        EXPECT_EQ(p.fit_description, c.type);
        EXPECT_EQ(std::to_string(p.parameter_count) + "/" + std::to_string(p.terms) + "/" +
                      std::to_string(p.top_power) + " " + text(p.sin_theta_min) + " " + text(p.sin_theta_max) +
                      " " + text(p.omit) + " " + text(p.extinction_limit),
                  c.values);
        EXPECT_EQ(p.extinction_ratio, 0.5f);
        EXPECT_EQ(p.ceiling_fraction, 0.25f);
    }
}

TEST(FitOptions, EndOfInputAtAnyQuestionIsFatal) {
    // At the yes/no question, the fit type, the minimum (and asked again), OMIT (and asked again).
    for (const char* answers : {"", "y\n", "y\nl\n", "y\nl\n1\n", "y\nl\n\n\n", "y\nl\n\n\n-1\n"}) {
        SCOPED_TRACE(answers);
        try {
            settle(0.71073f, 'N', answers);
            ADD_FAILURE() << "no error";
        } catch (const textio::RecordError& e) {
            EXPECT_STREQ(e.what(), "End of file");
            EXPECT_NE(e.location().find("standard input"), std::string::npos) << e.location();
        }
    }
}

}  // namespace
}  // namespace velor::input
