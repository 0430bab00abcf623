// Iw and Fw.d fields.  Each literal case is checked by the exact path and
// by the readers and writers that try the quick path first; random values
// hold the quick writer to the exact one.  The fuzz targets do so for the
// readers, on every field of every layout (fuzz_record_read), and check Iw
// writing against the decimal digits of the value (fuzz_field_writer).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "textio/numeric_fields.hpp"

namespace velor::textio {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr std::nullopt_t kBad = std::nullopt;

// The same value to the bit (the sign of a zero included), or both none,
// or both NaN.
bool same(std::optional<float> a, std::optional<float> b) {
    if (!a || !b) return a.has_value() == b.has_value();
    return std::memcmp(&*a, &*b, sizeof(float)) == 0 || (std::isnan(*a) && std::isnan(*b));
}

std::string put_f_exactly_text(double value, int width, int decimals) {
    std::string text(static_cast<std::size_t>(width), '?');
    detail::put_f_exactly(text.data(), value, width, decimals);
    return text;
}

TEST(ReadI, BlanksSignsAndMalformedFields) {
    const struct {
        const char* field;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"  -5", -5}, {"0012", 12}, {"999999999", 999999999}, {"1234567890", 1234567890}, {"  +7", 7}, {"1 2 ", 12},
        {" - 3", -3}, {"    ", 0},  {"-2147483648", -2147483647 - 1}, {"2147483648", kBad}, {"   -", kBad},
        {"12a ", kBad}, {"1.0 ", kBad}, {"1-2", kBad},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read_i(c.field), c.value) << "'" << c.field << "'";
        EXPECT_EQ(detail::read_i_exactly(c.field), c.value) << "'" << c.field << "'";
    }
}

TEST(ReadF, ImpliedDecimalsExponentsAndSpecialValues) {
    const struct {
        const char* field;
        int decimals;
        std::optional<float> value;
    } cases[] = {
        // Right-justified with the point in place, as programs write them;
        // eight digits past 2^24, and ten (past 2^32).
        {"       2699.07", 2, 2699.07f}, {"         -0.00", 2, -0.0f}, {"   .50", 2, 0.5f}, {"    123.", 0, 123.0f},
        {"  167772.15", 2, 167772.15f}, {"  167772.17", 2, 167772.17f}, {" 4294967.296", 3, 4294967.296f},
        // Blanks are ignored; an empty field is zero.  Without a point the
        // last d digits are decimals; a point overrides d.
        {"  1 2.50", 2, 12.5f}, {"   -", 2, -0.0f}, {"        ", 0, 0.0f}, {"       10050", 2, 100.5f},
        {"5", 3, 0.005f}, {"-12", 1, -1.2f}, {"1.5", 3, 1.5f}, {"12345E1", 2, 1234.5f},
        // Exponents: E, e, D, d, or a sign right after the digits.
        {"1.5-3", 0, 0.0015f}, {"1.5D3", 2, 1500.0f}, {"-1.5e-2", 0, -0.015f}, {"1.5 E 2", 0, 150.0f},
        // Correctly rounded from the decimal text.  Rounding to double first
        // lands on the midpoint 1 + 2^-24 and then, tie to even, on 1.0.
        {"1.0000000596046447753906250001", 0, 0x1.000002p0f}, {"1.000000059604644775390625", 0, 1.0f},
        {"1.0000000596046447753906249999", 0, 1.0f}, {"1e-40", 0, 1e-40f}, {"3.4028235e38", 0, 3.4028235e38f},
        {"1e39", 0, kInfF}, {"-1e-50", 0, -0.0f}, {"  INFINITY", 0, kInfF}, {"-Inf", 0, -kInfF}, {"nan", 0, std::nanf("")},
        // Malformed fields.
        {"abc", 0, kBad}, {"1.2.3", 0, kBad}, {"1.5E", 0, kBad}, {"1e5x", 0, kBad}, {"+-1", 0, kBad},
        {"E5", 0, kBad}, {"1,5", 0, kBad}, {"infinite", 0, kBad}, {"1.5E2.0", 0, kBad},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.field << "' in F." << c.decimals);
        EXPECT_TRUE(same(read_f(c.field, c.decimals), c.value));
        EXPECT_TRUE(same(detail::read_f_exactly(c.field, c.decimals), c.value));
    }
}

TEST(WriteF, RoundingSignLeadingZeroAndOverflow) {
    const struct {
        double value;
        int width, decimals;
        const char* text;
    } cases[] = {
        // Exact ties go away from zero; values stored just below a tie do not.
        {0.125, 4, 2, "0.13"}, {std::nextafter(0.125, 0.0), 4, 2, "0.12"}, {-0.125, 5, 2, "-0.13"},
        {2.5, 8, 0, "      3."}, {std::nextafter(2.5, 0.0), 8, 0, "      2."}, {-2.5, 8, 0, "     -3."},
        {0.045, 4, 2, "0.04"},                        // 0.04499999999999999833...
        {static_cast<double>(0.045f), 4, 2, "0.05"},  // 0.04500000178...
        {99999.995, 8, 2, "99999.99"},                // 99999.99499999999534...
        // A float is written by its own exact value: 392.65f is 392.649993896484375.
        {static_cast<double>(392.65f), 12, 6, "  392.649994"},
        // Exact expansion past 17 digits, then 40 significant digits only.
        {1180591620717411303424.0, 25, 0, "  1180591620717411303424."},
        {0.1, 50, 45, "   0.100000000000000005551115123125782702118200000"},
        // Leading zero only when there is a column to spare.
        {0.5, 4, 2, "0.50"}, {-0.5, 4, 2, "-.50"}, {0.5, 3, 2, ".50"}, {0.25, 8, 0, "      0."},
        // Negative values rounding to zero, and negative zero, keep the sign.
        {-0.004, 8, 2, "   -0.00"}, {-0.004, 4, 2, "-.00"}, {-0.0, 8, 2, "   -0.00"}, {-0.4, 3, 0, "-0."},
        // Overflow, also when rounding adds an integer digit.
        {-12345.67, 8, 2, "********"}, {99999.996, 8, 2, "********"}, {-9.996, 5, 2, "*****"}, {0.96, 2, 1, "**"},
        {-0.5, 3, 2, "***"}, {1e300, 21, 2, "*********************"},
        // Not a number and infinities.
        {kNaN, 8, 2, "     NaN"}, {-kNaN, 8, 2, "     NaN"}, {kNaN, 2, 1, "**"}, {kInf, 8, 2, "Infinity"},
        {kInf, 7, 2, "    Inf"}, {-kInf, 9, 2, "-Infinity"}, {-kInf, 8, 2, "    -Inf"}, {-kInf, 3, 1, "***"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.value << " in F" << c.width << "." << c.decimals);
        EXPECT_EQ(format_f(c.value, c.width, c.decimals), c.text);
        EXPECT_EQ(put_f_exactly_text(c.value, c.width, c.decimals), c.text);
    }
}

// The numbers of messages and summaries: the F field's digits without its
// blanks, its point when there are no decimals, or its width.
TEST(FieldWriting, DecimalsOfAnyNumber) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {0.125, 2, "0.13"}, {12.5, 0, "13"}, {-0.0001, 3, "-0.000"}, {0.9, 3, "0.900"},
        {1e23, 1, "99999999999999991611392.0"}, {1e300, 0, "1000000000000000052504760255204420248704"},
        {kInf, 3, "Infinity"}, {kNaN, 3, "NaN"},
    };
    for (const auto& c : cases) {
        const std::string text = format_decimals(c.value, c.decimals);
        EXPECT_EQ(text.substr(0, 40), c.text) << c.value << " " << c.decimals;
        EXPECT_EQ(text.size(), c.value == 1e300 ? 301 : std::string_view(c.text).size()) << c.value;
    }
}

TEST(QuickPath, WritingAgreesWithTheExactPath) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mantissa(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 9), decimals(0, 4), ties(0, 3);
    for (int n = 0; n < 200000; ++n) {
        const int d = decimals(rng);
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        // Every fourth value sits on or next to a tie at the last decimal.
        if (ties(rng) == 0) v = (std::floor(v * std::pow(10.0, d)) + 0.5) / std::pow(10.0, d);
        if (n % 2) v = -v;
        const double f = static_cast<float>(v);
        ASSERT_EQ(format_f(v, 12, d), put_f_exactly_text(v, 12, d)) << v;
        ASSERT_EQ(format_f(f, 10, d), put_f_exactly_text(f, 10, d)) << f;
    }
}

template <int W, int D>
std::string put_f_fixed_text(double value) {
    std::string text(static_cast<std::size_t>(W), '?');
    put_f_fixed<W, D>(text.data(), value);
    return text;
}

// The writers with widths known when compiled (those of a corrected record)
// against the exact path: at the limits of eight digits and of a column for
// the sign, at ties, for zeros, and on values of every size.
TEST(QuickPath, FixedWidthWritingAgreesWithTheExactPath) {
    std::vector<double> values = {0.0, -0.0, 0.004, 0.005, -0.005, 0.0005, -0.0005, 9.995, 99999.99, 99999.994,
                                  99999.995, 99999.996, 9999.995, -9999.99, -9999.995, -99999.99, 999999.9994,
                                  999999.9995, 99999.9995, 100000.0, -99999.9995, -12345.6785, 1e10, kNaN, kInf, -kInf};
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> mantissa(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-5, 9), ties(0, 3);
    for (int n = 0; n < 100000; ++n) {
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (ties(rng) == 0) v = (std::floor(v * 1000.0) + 0.5) / (ties(rng) < 2 ? 1000.0 : 100.0);
        values.push_back(n % 2 ? -v : v);
        values.push_back(static_cast<float>(v));
    }
    for (const double v : values) {
        ASSERT_EQ((put_f_fixed_text<8, 2>(v)), put_f_exactly_text(v, 8, 2)) << std::hexfloat << v;
        ASSERT_EQ((put_f_fixed_text<10, 3>(v)), put_f_exactly_text(v, 10, 3)) << std::hexfloat << v;
    }
}

TEST(QuickPath, I4FromTheTableIsPutI) {
    for (std::int32_t v = -1100; v <= 10100; ++v) {
        std::string text(4, '?'), general(4, '?');
        put_i4(text.data(), v);
        put_i(general.data(), v, 4);
        ASSERT_EQ(text, general) << v;
    }
}

}  // namespace
}  // namespace velor::textio
