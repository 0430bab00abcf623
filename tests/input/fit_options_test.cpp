// The run parameters: command-line letter, default road and the parameter
// dialogue, driven through the keyboard and console channels.  Expected
// console bytes are typed out literally, CR LF line ends included; the
// prompts of the dialogue run on in one line because the answers come from
// a stream, not a terminal.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/run_parameters.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

struct Outcome {
    RunParameters parameters;
    std::string fit_type;  // the 80-character field after the call
    std::string console;
};

Outcome settle(float lambda, const std::string& letter_field, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    textio::KeyboardChannel keyboard(in);
    textio::ConsoleChannel console(out);
    Outcome o;
    o.fit_type = letter_field;
    o.parameters = settle_fit_options(lambda, o.fit_type, console, keyboard);
    o.console = out.str();
    return o;
}

// The fit-type field as the file-name step leaves it: a letter and 79 blanks.
std::string letter(char c) { return std::string(1, c) + std::string(79, ' '); }

const std::string kQuestion = "   Do you want to control the input parameters ? [N]: \r\n";
const std::string kTypePrompt = "      Enter cubic(C), quadratic(Q) or  linear(L) or flat(F) ";
const std::string kMinPrompt = "      Enter sin(theta) min. cutoff [0.0]: ";
const std::string kMaxPrompt = "      Enter sin(theta) max. cutoff [1.0]: ";
const std::string kOmitPrompt = "      Enter OMIT, (reject if Fo2 < OMIT(sigmaFo2) [3.0]: ";
const std::string kAgain = "   Not acceptable, again please: ";
const std::string kEndOfInput = "  \r\n   End of input\r\n  \r\n";

std::string echo(const std::string& description, const std::string& min, const std::string& max,
                 const std::string& omit) {
    return "   Running with the following parameters: \r\n"
           "\r\n"
           "      Type of fit    = " + description + "\r\n"
           "      Sin(theta)min. = " + min + "\r\n"
           "      Sin(theta)max. = " + max + "\r\n"
           "      OMIT parameter = " + omit + "\r\n"
           "\r\n";
}

const std::string kCubic = "cubic (24 parameters)     ";
const std::string kQuadratic = "quadratic (18 parameters) ";
const std::string kLinear = "linear (12 parameters)    ";
const std::string kFlat = "flat (6 parameters)       ";

// ------------------------------------------------------------------ roads

struct RoadCase {
    const char* what;
    float lambda;
    char letter;
    const char* answers;
    std::int32_t parameter_count, terms, top_power;
    const std::string& description;
    float extinction_limit;  // 0.35·√λ in single precision
    const char* before_echo;
};

const RoadCase kRoads[] = {
    {"letter C", 0.71073f, 'C', "", 24, 4, 3, kCubic, 0.295066804f, ""},
    {"letter Q", 0.71073f, 'Q', "", 18, 3, 2, kQuadratic, 0.295066804f, ""},
    {"letter L", 1.54184f, 'L', "", 12, 2, 1, kLinear, 0.434597969f, ""},
    {"letter F", 1.0f, 'F', "", 6, 1, 0, kFlat, 0.35f, ""},
    {"empty answer, Mo", 0.71073f, 'N', "\n", 12, 2, 1, kLinear, 0.295066804f,
     "   Do you want to control the input parameters ? [N]: \r\n"},
    {"empty answer, Cu", 1.54184f, 'N', "\n", 24, 4, 3, kCubic, 0.434597969f,
     "   Do you want to control the input parameters ? [N]: \r\n"},
    {"exactly 1 A is linear", 1.0f, 'N', "\n", 12, 2, 1, kLinear, 0.35f,
     "   Do you want to control the input parameters ? [N]: \r\n"},
    {"just above 1 A is cubic", 1.0001f, 'N', "\n", 24, 4, 3, kCubic, 0.350017488f,
     "   Do you want to control the input parameters ? [N]: \r\n"},
    {"blank before y", 0.71073f, 'N', " y\n", 12, 2, 1, kLinear, 0.295066804f,
     "   Do you want to control the input parameters ? [N]: \r\n"},
};

TEST(FitOptionsRoads, LetterAndDefaultRoadsSetFitTypeAndDefaults) {
    for (const RoadCase& c : kRoads) {
        SCOPED_TRACE(c.what);
        const Outcome o = settle(c.lambda, letter(c.letter), c.answers);
        EXPECT_EQ(o.parameters.parameter_count, c.parameter_count);
        EXPECT_EQ(o.parameters.terms, c.terms);
        EXPECT_EQ(o.parameters.top_power, c.top_power);
        EXPECT_EQ(o.parameters.sin_theta_min, 0.0f);
        EXPECT_EQ(o.parameters.sin_theta_max, 1.0f);
        EXPECT_EQ(o.parameters.omit, 3.0f);
        EXPECT_EQ(o.parameters.extinction_ratio, 0.5f);
        EXPECT_EQ(o.parameters.extinction_limit, c.extinction_limit);
        EXPECT_EQ(o.parameters.ceiling_fraction, 0.25f);
        EXPECT_EQ(o.fit_type, c.description + std::string(54, ' '));
        EXPECT_EQ(o.console, c.before_echo + echo(c.description, "0.00", "1.00", "3.00"));
    }
}

TEST(FitOptionsRoads, WholeDialogueByteForByte) {
    const Outcome o = settle(1.54184f, letter('N'), "y\nq\n0.1\n0.9\n4\n");
    EXPECT_EQ(o.console,
              "   Do you want to control the input parameters ? [N]: \r\n"
              "      Enter cubic(C), quadratic(Q) or  linear(L) or flat(F)       Enter sin(theta) min. cutoff [0.0]: "
              "      Enter sin(theta) max. cutoff [1.0]:       Enter OMIT, (reject if Fo2 < OMIT(sigmaFo2) [3.0]:   \r\n"
              "   End of input\r\n"
              "  \r\n"
              "   Running with the following parameters: \r\n"
              "\r\n"
              "      Type of fit    = quadratic (18 parameters) \r\n"
              "      Sin(theta)min. = 0.10\r\n"
              "      Sin(theta)max. = 0.90\r\n"
              "      OMIT parameter = 4.00\r\n"
              "\r\n");
    EXPECT_EQ(o.parameters.parameter_count, 18);
    EXPECT_EQ(o.parameters.terms, 3);
    EXPECT_EQ(o.parameters.top_power, 2);
    EXPECT_EQ(o.parameters.sin_theta_min, 0.1f);
    EXPECT_EQ(o.parameters.sin_theta_max, 0.9f);
    EXPECT_EQ(o.parameters.omit, 4.0f);
    EXPECT_EQ(o.parameters.extinction_ratio, 0.5f);
    EXPECT_FLOAT_EQ(o.parameters.extinction_limit, 0.434597969f);
    EXPECT_EQ(o.parameters.ceiling_fraction, 0.25f);
    EXPECT_EQ(o.fit_type, "quadratic (18 parameters) " + std::string(54, ' '));
}

// ---------------------------------------------------------- fit-type answer

struct TypeCase {
    const char* answers;  // up to and including the accepted letter
    std::int32_t parameter_count;
    const std::string& description;
    const char* after_prompt;  // console text between the prompt and the next
};

const TypeCase kTypeAnswers[] = {
    {"x\nq\n", 18, kQuadratic, "   Not acceptable, again please: "},
    {"C\n", 24, kCubic, ""},
    {"f\n", 6, kFlat, ""},
    {"quadratic\n", 18, kQuadratic, ""},
    {"\n n\nF\n", 6, kFlat, "   Not acceptable, again please:    Not acceptable, again please: "},
};

TEST(FitOptionsDialogue, FitTypeLetterIsAskedForUntilAccepted) {
    for (const TypeCase& c : kTypeAnswers) {
        SCOPED_TRACE(c.answers);
        const Outcome o = settle(0.71073f, letter('N'), std::string("Y\n") + c.answers + "\n\n\n");
        EXPECT_EQ(o.parameters.parameter_count, c.parameter_count);
        EXPECT_EQ(o.console, kQuestion + kTypePrompt + c.after_prompt + kMinPrompt + kMaxPrompt + kOmitPrompt +
                                 kEndOfInput + echo(c.description, "0.00", "1.00", "3.00"));
    }
}

// ------------------------------------------------------------ number answers

struct NumberCase {
    const char* answers;  // to this question only
    float value;
    const char* after_prompt;
    const char* echoed;
};

const NumberCase kMinAnswers[] = {
    {"\n", 0.0f, "", "0.00"},
    {"1\n0.999\n", 0.999f, "   Not acceptable, again please: ", "1.00"},
    {"-0.1\n0.25\n", 0.25f, "   Not acceptable, again please: ", "0.25"},
    {"abc\n", 0.0f, "   Nonsense input, using 0.0 for sin(theta)min. \r\n", "0.00"},
    {"0.123456789\n", 0.123456f, "", "0.12"},  // only columns 1-8 are read
};

TEST(FitOptionsDialogue, MinimumCutoff) {
    for (const NumberCase& c : kMinAnswers) {
        SCOPED_TRACE(c.answers);
        const Outcome o = settle(0.71073f, letter('N'), std::string("y\nl\n") + c.answers + "\n\n");
        EXPECT_EQ(o.parameters.sin_theta_min, c.value);
        EXPECT_EQ(o.console, kQuestion + kTypePrompt + kMinPrompt + c.after_prompt + kMaxPrompt + kOmitPrompt +
                                 kEndOfInput + echo(kLinear, c.echoed, "1.00", "3.00"));
    }
}

const NumberCase kMaxAnswers[] = {
    // The minimum is 0.5 in all of these.
    {"\n", 1.0f, "", "1.00"},
    {"0\n", 1.0f, "", "1.00"},
    {"1.5\n0.8\n", 0.8f, "   Not acceptable, again please: ", "0.80"},
    {"0.5\n\n", 1.0f, "   Not acceptable, again please: ", "1.00"},
    {"abc\n", 1.0f, "   Nonsense input, using 1.0 for sin(theta)max. \r\n", "1.00"},
};

TEST(FitOptionsDialogue, MaximumCutoff) {
    for (const NumberCase& c : kMaxAnswers) {
        SCOPED_TRACE(c.answers);
        const Outcome o = settle(0.71073f, letter('N'), std::string("y\nl\n0.5\n") + c.answers + "\n");
        EXPECT_EQ(o.parameters.sin_theta_min, 0.5f);
        EXPECT_EQ(o.parameters.sin_theta_max, c.value);
        EXPECT_EQ(o.console, kQuestion + kTypePrompt + kMinPrompt + kMaxPrompt + c.after_prompt + kOmitPrompt +
                                 kEndOfInput + echo(kLinear, "0.50", c.echoed, "3.00"));
    }
}

const NumberCase kOmitAnswers[] = {
    {"\n", 3.0f, "", "3.00"},
    {"0\n", 3.0f, "", "3.00"},
    {"-1\n5\n", 5.0f, "   Not acceptable, again please: ", "5.00"},
    {"abc\n", 3.0f, "   Nonsense input, using 3.0 for OMIT. \r\n", "3.00"},
    {"10\n", 10.0f, "", "****"},  // too wide for F4.2
};

TEST(FitOptionsDialogue, Omit) {
    for (const NumberCase& c : kOmitAnswers) {
        SCOPED_TRACE(c.answers);
        const Outcome o = settle(0.71073f, letter('N'), std::string("y\nl\n\n\n") + c.answers);
        EXPECT_EQ(o.parameters.omit, c.value);
        EXPECT_EQ(o.console, kQuestion + kTypePrompt + kMinPrompt + kMaxPrompt + kOmitPrompt + c.after_prompt +
                                 kEndOfInput + echo(kLinear, "0.00", "1.00", c.echoed));
    }
}

// ------------------------------------------------------------- end of input

TEST(FitOptionsDialogue, EndOfInputAtAnyQuestionIsFatal) {
    const char* const kCutShort[] = {
        "",                    // the yes/no question
        "y\n",                 // fit type
        "y\nl\n",              // minimum
        "y\nl\n1\n",           // minimum, asked again
        "y\nl\n\n\n",          // OMIT
        "y\nl\n\n\n-1\n",      // OMIT, asked again
    };
    for (const char* answers : kCutShort) {
        SCOPED_TRACE(answers);
        try {
            settle(0.71073f, letter('N'), answers);
            ADD_FAILURE() << "no error";
        } catch (const textio::RecordError& e) {
            EXPECT_STREQ(e.what(), "End of file");
            EXPECT_NE(e.location().find("standard input"), std::string::npos) << e.location();
        }
    }
}

}  // namespace
}  // namespace velor::input
