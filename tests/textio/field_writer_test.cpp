#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "textio/field_writer.hpp"

namespace velor::textio {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(WriteI, RightJustifiedWithSignOrAsterisks) {
    struct Case {
        std::int64_t value;
        int width;
        const char* text;
    };
    const Case cases[] = {
        {-5, 4, "  -5"},   {0, 4, "   0"},    {12345, 4, "****"},
        {-999, 4, "-999"}, {-1000, 4, "****"}, {9999, 4, "9999"},
        {7, 1, "7"},       {-7, 1, "*"},       {-2147483648LL, 11, "-2147483648"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " in I" << c.width);
        EXPECT_EQ(format_i(c.value, c.width), c.text);
    }
}

TEST(WriteF, RoundingSignLeadingZeroAndOverflow) {
    struct Case {
        double value;
        int width, decimals;
        const char* text;
    };
    const Case cases[] = {
        // Plain values, the point always written.
        {0.0, 8, 2, "    0.00"}, {123456.0, 8, 0, " 123456."}, {123.4, 8, 0, "    123."},
        {99999.99, 8, 2, "99999.99"},
        // Exact ties go away from zero; values stored just below a tie do not.
        {0.125, 4, 2, "0.13"}, {std::nextafter(0.125, 0.0), 4, 2, "0.12"}, {-0.125, 5, 2, "-0.13"},
        {2.5, 8, 0, "      3."}, {std::nextafter(2.5, 0.0), 8, 0, "      2."}, {-2.5, 8, 0, "     -3."},
        {0.5, 8, 0, "      1."},
        {0.045, 4, 2, "0.04"},                        // 0.04499999999999999833...
        {static_cast<double>(0.045f), 4, 2, "0.05"},  // 0.04500000178...
        {99999.995, 8, 2, "99999.99"},                // 99999.99499999999534...
        // A float is written by its own exact value: 392.65f is 392.649993896484375.
        {392.65, 8, 2, "  392.65"}, {static_cast<double>(392.65f), 8, 2, "  392.65"},
        {392.65, 12, 6, "  392.650000"}, {static_cast<double>(392.65f), 12, 6, "  392.649994"},
        {static_cast<double>(0.1f), 12, 10, "0.1000000015"},
        // Exact expansion past 17 digits, then 40 significant digits only.
        {1180591620717411303424.0, 25, 0, "  1180591620717411303424."},
        {0.1, 50, 45, "   0.100000000000000005551115123125782702118200000"},
        // Leading zero only when there is a column to spare.
        {0.5, 4, 2, "0.50"}, {-0.5, 4, 2, "-.50"}, {0.5, 3, 2, ".50"}, {0.0, 3, 2, ".00"},
        {0.25, 8, 0, "      0."}, {-0.25, 8, 0, "     -0."}, {0.0096, 4, 2, "0.01"},
        // Negative values rounding to zero, and negative zero, keep the sign.
        {-0.004, 8, 2, "   -0.00"}, {-0.004, 4, 2, "-.00"}, {-0.0, 8, 2, "   -0.00"}, {-0.4, 3, 0, "-0."},
        // Overflow, also when rounding adds an integer digit.
        {-12345.67, 8, 2, "********"}, {99999.996, 8, 2, "********"}, {9.999, 4, 2, "****"},
        {-9.996, 5, 2, "*****"}, {0.96, 2, 1, "**"}, {-0.5, 3, 2, "***"}, {1e10, 8, 2, "********"},
        // Not a number and infinities.
        {kNaN, 8, 2, "     NaN"}, {-kNaN, 8, 2, "     NaN"}, {kNaN, 3, 2, "NaN"}, {kNaN, 2, 1, "**"},
        {kInf, 8, 2, "Infinity"}, {kInf, 7, 2, "    Inf"}, {kInf, 3, 0, "Inf"}, {kInf, 2, 0, "**"},
        {-kInf, 9, 2, "-Infinity"}, {-kInf, 8, 2, "    -Inf"}, {-kInf, 4, 1, "-Inf"}, {-kInf, 3, 1, "***"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.value << " in F" << c.width << "." << c.decimals);
        EXPECT_EQ(format_f(c.value, c.width, c.decimals), c.text);
    }
}

TEST(WriteA, RightJustifiedOrCutFromTheLeft) {
    const std::string eighty = "0123456789abcdefghijklmnopqrstuvwxyz" + std::string(44, '#');
    struct Case {
        std::string text;
        int width;
        std::string expected;
    };
    const Case cases[] = {
        {"|", 2, " |"},
        {"|", 64, std::string(63, ' ') + "|"},
        {eighty, 26, "0123456789abcdefghijklmnop"},
        {"abc", 3, "abc"},
        {"", 3, "   "},
        {"ab  ", 0, "ab  "},  // bare A: the whole text, trailing blanks included
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' in A" << c.width);
        std::string out = "<";
        write_a(out, c.text, c.width);
        EXPECT_EQ(out, "<" + c.expected);
    }
}

}  // namespace
}  // namespace velor::textio
