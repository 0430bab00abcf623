// Keyboard records read with a layout: lines cut to 80 columns, the comma
// rule, the error branch and its location, no end-of-file branch.  The
// golden runs write every layout the program writes.
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
