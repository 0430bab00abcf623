// Records written and read with a layout: what the golden runs do not
// reach (reversion, X and A edits at their edges, the comma rule, errors).
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/gtest_extra.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/layouts.hpp"
#include "textio/record_format.hpp"

namespace velor::textio {
namespace {

TEST(FormatRecords, ReversionXAndA) {
    const std::string name_field = "abc.res" + std::string(73, ' ');
    const struct {
        const char* layout;
        std::vector<Value> values;
        std::string text;
    } cases[] = {
        {"(1X,A$)", {"THERE IS NO SUCH FILE AS ", name_field}, " THERE IS NO SUCH FILE AS \r\n " + name_field},
        {"(2I3)", {1, 2, 3}, "  1  2\r\n  3\r\n"},                  // reversion
        {"(I2,3X,I2)", {1}, " 1   \r\n"},                            // X after the last value is written
        {"(A3,A2,A)", {"", "abc", "d  "}, "   abd  \r\n"},           // A: padded, cut, bare
        {"(A80)", {}, "\r\n"},                                       // no values
    };
    for (const auto& c : cases) {
        std::string out;
        format_records(out, parse_layout(c.layout), c.values);
        EXPECT_EQ(out, c.text) << c.layout;
    }
}

TEST(ParseRecord, InMemoryRecords) {
    // Aw wider than the item: the rightmost L of the w columns; a short
    // record reads as if padded with blanks.
    std::string four(4, '?');
    ASSERT_TRUE(read_in_memory("abcdefghij", parse_layout("(A10)"), {four}));
    EXPECT_EQ(four, "ghij");
    ASSERT_TRUE(read_in_memory("abcdefgh", parse_layout("(A10)"), {four}));
    EXPECT_EQ(four, "gh  ");
    // No comma rule in memory; a malformed field stops the read at once.
    std::int32_t a = 9, b = 9, c = 9;
    EXPECT_FALSE(read_in_memory("1,2", parse_layout("(2I4)"), {a, b}));
    EXPECT_EQ(read_in_memory("   1   x   3", parse_layout("(3I4)"), std::vector<Item>{a, b, c}),
              ReadStatus::BadInteger);
    EXPECT_EQ(std::vector<int>({a, b, c}), std::vector<int>({1, 9, 9}));
}

TEST(ParseRecord, KeyboardRecords) {
    std::istringstream in(std::string(80, 'x') + std::string(20, 'y') +
                          "\nabc\r\n1,2\n1, ,3\n,5\na,b12\n    abc\n     2.5\n   1  x\n");
    KeyboardChannel keyboard(in);
    std::string line(80, '?'), text(3, '?');
    for (const std::string& expected : {std::string(80, 'x'), "abc" + std::string(77, ' ')}) {
        keyboard.read(layouts::kLine, {line});
        EXPECT_EQ(line, expected);
    }
    // A comma ends an I or F field; in an A field it is an ordinary character.
    std::int32_t a = 0, b = 0, c = 0;
    for (const std::vector<int>& expected : {std::vector<int>{1, 2, 0}, {1, 0, 3}, {0, 5, 0}}) {
        keyboard.read(parse_layout("(3I4)"), {a, b, c});
        EXPECT_EQ(std::vector<int>({a, b, c}), expected);
    }
    keyboard.read(parse_layout("(A3,I2)"), {text, a});
    EXPECT_EQ(text + std::to_string(a), "a,b12");
    // try_read takes the error branch and leaves the item as it was.
    float answer = 7.0f;
    EXPECT_FALSE(keyboard.try_read(layouts::kNumberAnswer, {answer}));
    EXPECT_EQ(answer, 7.0f);
    EXPECT_TRUE(keyboard.try_read(layouts::kNumberAnswer, {answer}));
    EXPECT_EQ(answer, 2.5f);
    EXPECT_THROW_MSG(keyboard.read(parse_layout("(2I4)"), {a, b}), RecordError, "Bad value during integer read");
    EXPECT_EQ(keyboard.location(), "standard input, line 9");
    // No read has an end-of-file branch, try_read included.
    EXPECT_THROW_MSG(keyboard.try_read(layouts::kLine, {line}), RecordError, "End of file");
}

}  // namespace
}  // namespace velor::textio
