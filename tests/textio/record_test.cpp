#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/layouts.hpp"
#include "textio/output_channel.hpp"
#include "textio/record_format.hpp"

namespace velor::textio {
namespace {

std::string blanks(std::size_t n) { return std::string(n, ' '); }

TEST(FormatRecords, ReversionRunningOutAndDollar) {
    struct Case {
        const char* layout;
        std::vector<Value> values;
        std::string text;
        bool open;  // a $ leaves the line open
    };
    const std::string name_field = "abc.res" + blanks(73);
    const std::vector<Case> cases = {
        {"(3I4, 2F8.2, F10.3)", {0, 0, 0, 0.0, 0.0}, "   0   0   0    0.00    0.00\r\n", false},
        // 0.045f is 0.04500000178...
        {"(3I4, 2F8.2, F10.3)", {1, -2, 3, 1234.5f, 0.045f, 2.5}, "   1  -2   3 1234.50    0.05     2.500\r\n", false},
        {"(1X,A$)", {"Answer: "}, " Answer: ", true},
        {"(1X,A$)", {"THERE IS NO SUCH FILE AS ", name_field}, " THERE IS NO SUCH FILE AS \r\n " + name_field, true},
        {"(2I3)", {1, 2, 3}, "  1  2\r\n  3\r\n", false},                  // reversion
        {"(I2,3X,I2)", {1}, " 1   \r\n", false},                            // X after the last value is written
        {"(A2,76X,A1)", {"|", "|"}, " |" + blanks(76) + "|\r\n", false},    // box edge
        {"(A3,A2,A)", {"", "abc", "d  "}, "   abd  \r\n", false},               // A: padded, cut, bare
        {"(A80)", {}, "\r\n", false},                                       // no values
        {"(A23, F4.2)", {"  Extinction ratio   : ", 0.5}, "  Extinction ratio   : 0.50\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        std::string out;
        EXPECT_EQ(format_records(out, parse_layout(c.layout), c.values), c.open);
        EXPECT_EQ(out, c.text);
    }
}

TEST(FormatRecords, AndParseRecordTakeOnlyValuesOfTheFieldKind) {
    std::string out;
    EXPECT_THROW(format_records(out, parse_layout("(I4)"), std::vector<Value>{1.5}), std::logic_error);
    EXPECT_THROW(format_records(out, parse_layout("(F8.2)"), std::vector<Value>{1}), std::logic_error);
    std::int32_t integer = 0;
    float real = 0.0f;
    EXPECT_THROW(read_in_memory("  -1.0", parse_layout("(F6.1)"), {integer}), std::logic_error);
    EXPECT_THROW(read_in_memory("     1", parse_layout("(I6)"), {real}), std::logic_error);
}

TEST(ConsoleChannel, PromptLineContinuesAndFreeRecords) {
    std::ostringstream console;
    ConsoleChannel channel(console);
    channel.write(layouts::kPrompt, {"Smallest scale:"});
    EXPECT_TRUE(channel.line_open());
    EXPECT_EQ(console.str(), " Smallest scale:");  // visible before any answer is read
    channel.write(layouts::kRange, {0.5, " and ", 1.25, "  largest"});
    EXPECT_FALSE(channel.line_open());
    channel.write_free({"  End of input"});
    channel.write_free();
    channel.write_free({"a  ", "b"});
    EXPECT_EQ(console.str(),
              " Smallest scale:   0.500 and    1.250        largest\r\n   End of input\r\n\r\n a  b\r\n");
}

TEST(ParseRecord, InMemoryRecords) {
    std::int32_t h = 9, k = 9, l = 9;
    float fc = 9, fo = 9, sigma = 9;
    auto reflection = [&] { return std::vector<float>({float(h), float(k), float(l), fc, fo, sigma}); };
    ASSERT_TRUE(read_in_memory("", layouts::kReflectionLegacy, {h, k, l, fc, fo, sigma}));
    EXPECT_EQ(reflection(), std::vector<float>({0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(read_in_memory("   1  -2   3       10050        9820       210", layouts::kReflectionLegacy,
                               {h, k, l, fc, fo, sigma}));
    EXPECT_EQ(reflection(), std::vector<float>({1, -2, 3, 100.5f, 98.2f, 2.1f}));

    // (4X, A76) into an 80-character item: columns 5 to 80, then 4 blanks.
    const std::string cell = "CELL  0.71073  10.0  11.0  12.0  90.0  91.0  92.0" + blanks(31) + "beyond";
    std::string item(80, '?'), four(4, '?');
    ASSERT_TRUE(read_in_memory(cell, layouts::kAfterKeyword, {item}));
    EXPECT_EQ(item, cell.substr(4, 76) + "    ");
    // Aw wider than the item: the rightmost L of the w columns; a short record reads as if padded.
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
    EXPECT_EQ(read_in_memory("     abc", layouts::kNumberAnswer, std::vector<Item>{fc}), ReadStatus::BadReal);
}

TEST(ParseRecord, KeyboardRecords) {
    std::istringstream in(std::string(80, 'x') + std::string(20, 'y') +
                          "\nabc\r\n\n1,2\na,b12\n    abc\n     2.5\n   1  x\n");
    KeyboardChannel keyboard(in);
    std::string line(80, '?'), text(3, '?');
    for (const std::string& expected : {std::string(80, 'x'), "abc" + blanks(77), blanks(80)}) {
        keyboard.read(layouts::kLine, {line});
        EXPECT_EQ(line, expected);
    }
    // A comma ends an I or F field; in an A field it is an ordinary character.
    std::int32_t a = 0, b = 0;
    keyboard.read(parse_layout("(2I4)"), {a, b});
    EXPECT_EQ(std::vector<int>({a, b}), std::vector<int>({1, 2}));
    keyboard.read(parse_layout("(A3,I2)"), {text, a});
    EXPECT_EQ(text + std::to_string(a), "a,b12");
    // try_read takes the error branch and leaves the item as it was.
    float answer = 7.0f;
    EXPECT_FALSE(keyboard.try_read(layouts::kNumberAnswer, {answer}));
    EXPECT_EQ(answer, 7.0f);
    EXPECT_TRUE(keyboard.try_read(layouts::kNumberAnswer, {answer}));
    EXPECT_EQ(answer, 2.5f);
    try {
        keyboard.read(parse_layout("(2I4)"), {a, b});
        ADD_FAILURE() << "no error";
    } catch (const RecordError& e) {
        EXPECT_EQ(e.what() + (" at " + e.location()), "Bad value during integer read at standard input, line 8");
    }
    EXPECT_EQ(std::vector<int>({a, b}), std::vector<int>({1, 2}));
    // No read has an end-of-file branch, try_read included.
    EXPECT_THROW(keyboard.try_read(layouts::kLine, {line}), RecordError);
}

}  // namespace
}  // namespace velor::textio
