#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "output/corrected_record.hpp"
#include "textio/layouts.hpp"
#include "textio/record_format.hpp"

namespace velor::output {
namespace {

using model::CorrectedReflection;

// The record as a write with the layout of NAMEx.hkl gives it: F8.2 for
// Fo², or F8.0 from 99999 on.
std::string record(const core::Reflection& r, double fo2, double sigma, double s) {
    static constexpr textio::Layout kLarge = textio::parse_layout("(3I4, F8.0, F8.2, F10.3)");
    std::string out;
    const textio::Value values[] = {r.h, r.k, r.l, fo2, sigma, s};
    textio::format_records(out, fo2 < 99999.0 ? textio::layouts::kCorrected : kLarge, values);
    return out;
}

// Fo² in F8.2 below 99999, in F8.0 from there on.
TEST(CorrectedRecord, Columns) {
    const struct {
        core::Reflection r;
        double fo2, sigma, s;
        const char* expected;
    } cases[] = {
        {{1, 2, 3}, 1234.5678, 12.3456, 0.98765, "   1   2   3 1234.57   12.35     0.988\r\n"},
        {{-3, 10, 0}, 123456.7, 321.5, 1.0234, "  -3  10   0 123457.  321.50     1.023\r\n"},
        {{1, 1, 1}, 99999.0, 1.0, 1.0, "   1   1   1  99999.    1.00     1.000\r\n"},
        {{1, 1, 1}, 99998.99, 1.0, 1.0, "   1   1   199998.99    1.00     1.000\r\n"},
        {{1, 1, 1}, 12345678.9, 1.0, 1.0, "   1   1   1********    1.00     1.000\r\n"},
        {{1, 1, 1}, -12345.6, 123456.7, 1.0, "   1   1   1****************     1.000\r\n"},
        {{1, 1, 1}, HUGE_VAL, 1.0, 0.0, "   1   1   1Infinity    1.00     0.000\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(record(c.r, c.fo2, c.sigma, c.s), c.expected);
}

// The record writer with fixed columns against the layouts themselves, on
// values of every size, ties and signs included.
TEST(CorrectedRecord, FixedColumnsGiveTheLayoutsText) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> index(-200, 200), exponent(-4, 9);
    for (int n = 0; n < 100000; ++n) {
        const core::Reflection r{index(rng), index(rng), index(rng)};
        CorrectedReflection c;
        c.fo2 = unit(rng) * std::pow(10.0, exponent(rng));
        c.sigma = std::round(unit(rng) * 2e5) / 200.0 + 0.005;  // ties at the second decimal
        c.s = unit(rng) * std::pow(10.0, exponent(rng) / 2);
        char line[40];
        ASSERT_EQ(std::string(line, put_corrected_record(line, r, c)), record(r, c.fo2, c.sigma, c.s)) << c.fo2;
    }
}

}  // namespace
}  // namespace velor::output
