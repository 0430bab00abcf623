// The quick paths of field reading and writing must agree bit for bit with
// the general ones; random values from a fixed seed, many near ties.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "textio/field_reader.hpp"
#include "textio/field_writer.hpp"

namespace velor::textio {
namespace {

TEST(QuickPath, WritingAgreesWithTheExactExpansion) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mantissa(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 9), decimals(0, 4), ties(0, 3);
    for (int n = 0; n < 200000; ++n) {
        const int d = decimals(rng);
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        // Every fourth value sits on or next to a tie at the last decimal.
        if (ties(rng) == 0) v = (std::floor(v * std::pow(10.0, d)) + 0.5) / std::pow(10.0, d);
        if (n % 2) v = -v;
        const float f = static_cast<float>(v);
        ASSERT_EQ(format_f(v, 12, d), format_f_exact(v, 12, d)) << v;
        ASSERT_EQ(format_f(f, 10, d), format_f_exact(f, 10, d)) << f;
    }
}

TEST(QuickPath, ReadingAgreesWithTheGeneralPath) {
    std::mt19937_64 rng(54321);
    std::uniform_int_distribution<long> digits(-99999999, 99999999);
    std::uniform_int_distribution<int> point(0, 9), width_pad(0, 4);
    for (int n = 0; n < 200000; ++n) {
        std::string text = std::to_string(digits(rng));
        const int p = point(rng);
        if (p < 8 && static_cast<std::size_t>(p) < text.size() && text[text.size() - 1 - static_cast<std::size_t>(p)] != '-')
            text.insert(text.size() - static_cast<std::size_t>(p), 1, '.');
        const std::string field = std::string(static_cast<std::size_t>(width_pad(rng)), ' ') + text;
        const int d = point(rng) % 4;
        ASSERT_EQ(read_f(field, d), read_f_general(field, d)) << field;
    }
}

}  // namespace
}  // namespace velor::textio
