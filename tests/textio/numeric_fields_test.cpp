// Iw and Fw.d fields.  Each literal case is checked by the exact path and
// by the readers and writers that try the quick path first; the random
// cases hold the quick paths to the exact ones.
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
constexpr std::optional<std::int32_t> kBadI = std::nullopt;
constexpr std::optional<float> kBadF = std::nullopt;

// The same value to the bit (the sign of a zero included), or both none,
// or both NaN.
bool same(std::optional<float> a, std::optional<float> b) {
    if (!a || !b) return a.has_value() == b.has_value();
    return std::memcmp(&*a, &*b, sizeof(float)) == 0 || (std::isnan(*a) && std::isnan(*b));
}

std::string put_i_text(std::int64_t value, int width) {
    std::string text(static_cast<std::size_t>(width), '?');
    put_i(text.data(), value, width);
    return text;
}

std::string put_f_exactly_text(double value, int width, int decimals) {
    std::string text(static_cast<std::size_t>(width), '?');
    detail::put_f_exactly(text.data(), value, width, decimals);
    return text;
}

TEST(ReadI, BlanksSignsAndMalformedFields) {
    struct Case {
        const char* field;
        std::optional<std::int32_t> value;
        bool quick;  // in the form the quick reader takes
    };
    const Case cases[] = {
        {"  -5", -5, true},   {"0012", 12, true},  {"999999999", 999999999, true},
        {"  +7", 7, false},   {"1 2 ", 12, false}, {" - 3", -3, false},          {"    ", 0, false},
        {"", 0, false},       {"1234567890", 1234567890, false},                 {"-2147483648", -2147483647 - 1, false},
        {"   -", kBadI, false}, {"+", kBadI, false}, {"12a ", kBadI, false},      {"1.0 ", kBadI, false},
        {"--1", kBadI, false}, {"1-2", kBadI, false}, {"x  1", kBadI, false},     {"2147483648", kBadI, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.field << "'");
        EXPECT_EQ(read_i(c.field), c.value);
        EXPECT_EQ(detail::read_i_exactly(c.field), c.value);
        std::int32_t quick = 0;
        EXPECT_EQ(read_i_quickly(c.field, quick), c.quick);
    }
}

TEST(ReadF, ImpliedDecimalsExponentsAndSpecialValues) {
    constexpr float kInfF = std::numeric_limits<float>::infinity();
    struct Case {
        const char* field;
        int decimals;
        std::optional<float> value;
        bool quick = false;
    };
    const Case cases[] = {
        // Right-justified with the point in place, as programs write them.
        {"       2699.07", 2, 2699.07f, true}, {"         -0.00", 2, -0.0f, true}, {"   .50", 2, 0.5f, true},
        {"  -.5", 1, -0.5f, true}, {"    123.", 0, 123.0f, true}, {"  167772.15", 2, 167772.15f, true},
        // Eight digits past 2^24, ten digits (2^32, to wrap 32 bits), other forms: exact path.
        {"  167772.17", 2, 167772.17f}, {" 4294967.296", 3, 4294967.296f}, {"  1 2.50", 2, 12.5f},
        {" +12.50", 2, 12.5f}, {"12.5 ", 1, 12.5f}, {"     0.5", 0, 0.5f}, {"        ", 0, 0.0f}, {"", 2, 0.0f},
        {"+", 2, 0.0f}, {"   -", 2, -0.0f}, {" 1 2 . 5 ", 0, 12.5f},
        // Without a point the last d digits are decimals; a point overrides d.
        {"       10050", 2, 100.5f}, {"       210", 2, 2.1f}, {"5", 3, 0.005f}, {"-12", 1, -1.2f},
        {"1.5", 3, 1.5f}, {"5.", 2, 5.0f}, {"12345E1", 2, 1234.5f},
        // Exponents: E, e, D, d, or a sign right after the digits.
        {"1.5-3", 0, 0.0015f}, {"1.5+3", 0, 1500.0f}, {"1.5D3", 2, 1500.0f}, {"1.5d3", 2, 1500.0f},
        {"1.5e3", 2, 1500.0f}, {"1.5E+03", 2, 1500.0f}, {"-1.5E-2", 0, -0.015f}, {"1.5 E 2", 0, 150.0f},
        // Correctly rounded from the decimal text.  Rounding to double first
        // lands on the midpoint 1 + 2^-24 and then, tie to even, on 1.0.
        {"1.0000000596046447753906250001", 0, 0x1.000002p0f},
        {"10000000596046447753906250001", 28, 0x1.000002p0f},
        {"1.000000059604644775390625", 0, 1.0f},  // the exact midpoint
        {"1.0000000596046447753906249999", 0, 1.0f},
        {"1e-40", 0, 1e-40f}, {"3.4028235e38", 0, 3.4028235e38f}, {"1e39", 0, kInfF}, {"-1e-50", 0, -0.0f},
        // Words in any letter case.
        {"inf", 0, kInfF}, {"  INFINITY", 0, kInfF}, {"-Inf", 0, -kInfF}, {"nan", 0, std::nanf("")},
        // Malformed fields.
        {"abc", 0, kBadF}, {"1.2.3", 0, kBadF}, {"1.5E", 0, kBadF}, {"1.5E+", 0, kBadF}, {"1e5x", 0, kBadF},
        {"--1", 0, kBadF}, {"+-1", 0, kBadF}, {"E5", 0, kBadF}, {"1,5", 0, kBadF}, {"infinite", 0, kBadF},
        {"1.5E2.0", 0, kBadF}, {"  1x.50", 2, kBadF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.field << "' in F." << c.decimals);
        EXPECT_TRUE(same(read_f(c.field, c.decimals), c.value));
        EXPECT_TRUE(same(detail::read_f_exactly(c.field, c.decimals), c.value));
        float quick = 0.0f;
        EXPECT_EQ(read_f_quickly(c.field, c.decimals, quick), c.quick);
    }
}

TEST(WriteI, RightJustifiedWithSignOrAsterisks) {
    struct Case {
        std::int64_t value;
        int width;
        const char* text;
    };
    const Case cases[] = {
        {-5, 4, "  -5"},   {0, 4, "   0"},    {12345, 4, "****"}, {-999, 4, "-999"}, {-1000, 4, "****"},
        {9999, 4, "9999"}, {7, 1, "7"},       {-7, 1, "*"},       {-2147483648LL, 11, "-2147483648"},
        {std::numeric_limits<std::int64_t>::min(), 20, "-9223372036854775808"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " in I" << c.width);
        EXPECT_EQ(put_i_text(c.value, c.width), c.text);
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
        {0.0, 8, 2, "    0.00"}, {123456.0, 8, 0, " 123456."}, {99999.99, 8, 2, "99999.99"},
        // Exact ties go away from zero; values stored just below a tie do not.
        {0.125, 4, 2, "0.13"}, {std::nextafter(0.125, 0.0), 4, 2, "0.12"}, {-0.125, 5, 2, "-0.13"},
        {2.5, 8, 0, "      3."}, {std::nextafter(2.5, 0.0), 8, 0, "      2."}, {-2.5, 8, 0, "     -3."},
        {0.5, 8, 0, "      1."},
        {0.045, 4, 2, "0.04"},                        // 0.04499999999999999833...
        {static_cast<double>(0.045f), 4, 2, "0.05"},  // 0.04500000178...
        {99999.995, 8, 2, "99999.99"},                // 99999.99499999999534...
        // A float is written by its own exact value: 392.65f is 392.649993896484375.
        {392.65, 8, 2, "  392.65"}, {static_cast<double>(392.65f), 12, 6, "  392.649994"},
        {static_cast<double>(0.1f), 12, 10, "0.1000000015"},
        // Exact expansion past 17 digits, then 40 significant digits only.
        {1180591620717411303424.0, 25, 0, "  1180591620717411303424."},
        {0.1, 50, 45, "   0.100000000000000005551115123125782702118200000"},
        // Leading zero only when there is a column to spare.
        {0.5, 4, 2, "0.50"}, {-0.5, 4, 2, "-.50"}, {0.5, 3, 2, ".50"}, {0.0, 3, 2, ".00"},
        {0.25, 8, 0, "      0."}, {0.0096, 4, 2, "0.01"},
        // Negative values rounding to zero, and negative zero, keep the sign.
        {-0.004, 8, 2, "   -0.00"}, {-0.004, 4, 2, "-.00"}, {-0.0, 8, 2, "   -0.00"}, {-0.4, 3, 0, "-0."},
        // Overflow, also when rounding adds an integer digit.
        {-12345.67, 8, 2, "********"}, {99999.996, 8, 2, "********"}, {9.999, 4, 2, "****"},
        {-9.996, 5, 2, "*****"}, {0.96, 2, 1, "**"}, {-0.5, 3, 2, "***"}, {1e10, 8, 2, "********"},
        {1e300, 21, 2, "*********************"},
        // Not a number and infinities.
        {kNaN, 8, 2, "     NaN"}, {-kNaN, 8, 2, "     NaN"}, {kNaN, 3, 2, "NaN"}, {kNaN, 2, 1, "**"},
        {kInf, 8, 2, "Infinity"}, {kInf, 7, 2, "    Inf"}, {kInf, 2, 0, "**"},
        {-kInf, 9, 2, "-Infinity"}, {-kInf, 8, 2, "    -Inf"}, {-kInf, 4, 1, "-Inf"}, {-kInf, 3, 1, "***"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hexfloat << c.value << " in F" << c.width << "." << c.decimals);
        EXPECT_EQ(format_f(c.value, c.width, c.decimals), c.text);
        EXPECT_EQ(put_f_exactly_text(c.value, c.width, c.decimals), c.text);
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
        std::string text(4, '?');
        put_i4(text.data(), v);
        ASSERT_EQ(text, put_i_text(v, 4)) << v;
    }
}

// Fields as a program writes them, one in sixteen with a stray character:
// the quick readers take the plain ones, and agree with the exact readers
// on every field they take.
TEST(QuickPath, ReadingAgreesWithTheExactPath) {
    std::mt19937_64 rng(54321);
    std::uniform_int_distribution<std::int64_t> digits(-999999999, 999999999);
    std::uniform_int_distribution<std::size_t> cut(0, 9);
    std::uniform_int_distribution<int> decimals(0, 3), widths(1, 16), stray(0, 15), any_char(32, 126);
    for (int n = 0; n < 300000; ++n) {
        const std::int64_t m = digits(rng) / static_cast<std::int64_t>(detail::kPow10[cut(rng)]);
        const int d = decimals(rng), w = widths(rng);
        std::string f = format_f(static_cast<double>(m) / std::pow(10.0, d), w, d);
        std::string i = put_i_text(m, w);
        const bool plain = stray(rng) != 0;
        if (!plain) {
            f[rng() % f.size()] = static_cast<char>(any_char(rng));
            i[rng() % i.size()] = static_cast<char>(any_char(rng));
        }
        ASSERT_TRUE(same(read_f(f, d), detail::read_f_exactly(f, d))) << "[" << f << "] F." << d;
        ASSERT_EQ(read_i(i), detail::read_i_exactly(i)) << "[" << i << "]";
        const std::int64_t magnitude = m < 0 ? -m : m;
        float quick_f = 0.0f;
        std::int32_t quick_i = 0;
        if (plain && f[0] != '*' && magnitude < 10000000) {
            ASSERT_TRUE(read_f_quickly(f, d, quick_f)) << f;
        }
        if (plain && i[0] != '*') {
            ASSERT_TRUE(read_i_quickly(i, quick_i)) << i;
        }
    }
}

}  // namespace
}  // namespace velor::textio
