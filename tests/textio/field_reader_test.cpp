#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "textio/field_reader.hpp"

namespace velor::textio {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::optional<std::int32_t> kBadI = std::nullopt;
constexpr std::optional<float> kBadF = std::nullopt;

TEST(ReadI, BlanksSignsAndMalformedFields) {
    struct Case {
        const char* field;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"  +7", 7},     {"1 2 ", 12},  {"  -5", -5},   {" - 3", -3},
        {"    ", 0},     {"", 0},       {"0012", 12},   {"-2147483648", -2147483647 - 1},
        {"   -", kBadI}, {"+", kBadI},  {"12a ", kBadI}, {"1.0 ", kBadI},
        {"--1", kBadI},  {"1-2", kBadI}, {"2147483648", kBadI},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.field << "'");
        EXPECT_EQ(read_i(c.field), c.value);
    }
}

TEST(ReadF, ImpliedDecimalsExponentsAndSpecialValues) {
    struct Case {
        const char* field;
        int decimals;
        std::optional<float> value;
    };
    const Case cases[] = {
        {"     0.5", 0, 0.5f}, {"       5", 0, 5.0f}, {"        ", 0, 0.0f}, {"", 2, 0.0f},
        {"+", 2, 0.0f}, {"   -", 2, 0.0f}, {" 1 2 . 5 ", 0, 12.5f}, {".5", 0, 0.5f},
        // Without a point the last d digits are decimals; a point overrides d.
        {"       10050", 2, 100.5f}, {"        9820", 2, 98.2f}, {"       210", 2, 2.1f},
        {"5", 3, 0.005f}, {"-12", 1, -1.2f}, {"1.5", 3, 1.5f}, {"5.", 2, 5.0f}, {"12345E1", 2, 1234.5f},
        // Exponents: E, e, D, d, or a sign right after the digits.
        {"1.5-3", 0, 0.0015f}, {"1.5+3", 0, 1500.0f}, {"1.5D3", 2, 1500.0f}, {"1.5d3", 2, 1500.0f},
        {"1.5e3", 2, 1500.0f}, {"1.5E+03", 2, 1500.0f}, {"-1.5E-2", 0, -0.015f}, {"1.5 E 2", 0, 150.0f},
        // Correctly rounded from the decimal text.  Rounding to double first
        // lands on the midpoint 1 + 2^-24 and then, tie to even, on 1.0.
        {"1.0000000596046447753906250001", 0, 0x1.000002p0f},
        {"10000000596046447753906250001", 28, 0x1.000002p0f},
        {"1.000000059604644775390625", 0, 1.0f},  // the exact midpoint
        {"1.0000000596046447753906249999", 0, 1.0f},
        {"1e-40", 0, 1e-40f}, {"3.4028235e38", 0, 3.4028235e38f},
        // Words in any letter case.
        {"inf", 0, kInf}, {"  INFINITY", 0, kInf}, {"-Inf", 0, -kInf}, {"nan", 0, kNaN}, {"NaN", 2, kNaN},
        // Malformed fields.
        {"abc", 0, kBadF}, {"1.2.3", 0, kBadF}, {"1.5E", 0, kBadF}, {"1.5E+", 0, kBadF},
        {"1e5x", 0, kBadF}, {"--1", 0, kBadF}, {"+-1", 0, kBadF}, {"E5", 0, kBadF},
        {"1,5", 0, kBadF}, {"infinite", 0, kBadF}, {"1.5E2.0", 0, kBadF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.field << "' in F." << c.decimals);
        const std::optional<float> got = read_f(c.field, c.decimals);
        ASSERT_EQ(got.has_value(), c.value.has_value());
        if (!got) continue;
        if (std::isnan(*c.value)) {
            EXPECT_TRUE(std::isnan(*got)) << *got;
        } else {
            EXPECT_EQ(*got, *c.value) << std::hexfloat << *got << " vs " << *c.value;
        }
    }
}

}  // namespace
}  // namespace velor::textio
