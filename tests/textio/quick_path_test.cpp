// The quick paths of field reading and writing must agree bit for bit with
// the general ones; random values from a fixed seed, many near ties.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "textio/aligned_fields.hpp"
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
        // The aligned readers take fewer fields; those they take must agree.
        float aligned = 0;
        if (read_f_aligned(field, d, aligned)) {
            ASSERT_EQ(aligned, read_f_general(field, d)) << field;
        }
        std::int32_t integer = 0;
        if (read_i_aligned(field, integer)) {
            ASSERT_EQ(integer, read_i(field)) << field;
        }
    }
    // Fields as a program writes them, of the widths files use: blanks, a
    // sign, digits, the point in place; now and then a stray character.
    std::uniform_int_distribution<int> widths(4, 16), stray(0, 30), any_char(32, 126), magnitude(0, 9);
    for (int n = 0; n < 300000; ++n) {
        const int d = 1 + point(rng) % 3;
        const long m = digits(rng) / static_cast<long>(std::pow(10, magnitude(rng)));
        std::string text = std::to_string(m < 0 ? -m : m);
        if (text.size() <= static_cast<std::size_t>(d)) text.insert(0, static_cast<std::size_t>(d) + 1 - text.size(), '0');
        text.insert(text.size() - static_cast<std::size_t>(d), 1, '.');
        if (text.size() > static_cast<std::size_t>(d) + 2 && text[0] == '0') text.erase(0, 1);
        if (m < 0) text.insert(0, 1, '-');
        const auto w = std::max(text.size(), static_cast<std::size_t>(widths(rng)));
        std::string field = std::string(w - text.size(), ' ') + text;
        const bool plain = stray(rng) != 0;
        if (!plain) field[static_cast<std::size_t>(point(rng)) % field.size()] = static_cast<char>(any_char(rng));
        float aligned = 0;
        if (read_f_aligned(field, d, aligned)) {
            ASSERT_EQ(aligned, read_f_general(field, d)) << "[" << field << "]";
        } else if (plain && (m < 0 ? -m : m) < 10000000) {
            ADD_FAILURE() << "plain field refused: [" << field << "] " << d;
        }
    }
    // Right-justified fields with the point in place, as files hold them.
    struct Case {
        const char* field;
        int decimals;
        bool aligned;
    };
    for (const Case c : {Case{"       2699.07", 2, true}, Case{"         -0.00", 2, true}, Case{"      -5.25", 2, true},
                         Case{"   12345678.9", 1, false}, Case{"  1 2.50", 2, false}, Case{"   .50", 2, true},
                         Case{" +12.50", 2, false}, Case{"12.5 ", 1, false}, Case{"  -.5", 1, true}}) {
        float aligned = 0;
        EXPECT_EQ(read_f_aligned(c.field, c.decimals, aligned), c.aligned) << c.field;
        if (c.aligned) {
            EXPECT_EQ(aligned, read_f_general(c.field, c.decimals)) << c.field;
        }
    }
}

}  // namespace
}  // namespace velor::textio
