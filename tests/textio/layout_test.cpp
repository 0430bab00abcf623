#include <gtest/gtest.h>

#include <string>

#include "textio/layout.hpp"

namespace velor::textio {
namespace {

// "I4 I4 F12.2 1X A $": one word per expanded field, bare A as "A".
std::string fields(const Layout& layout) {
    std::string s;
    for (const EditDescriptor& d : layout) {
        if (!s.empty()) s += ' ';
        const std::string w = std::to_string(d.width);
        switch (d.kind) {
            case Edit::I: s += "I" + w; break;
            case Edit::F: s += "F" + w + "." + std::to_string(d.decimals); break;
            case Edit::A: s += d.width == 0 ? "A" : "A" + w; break;
            case Edit::X: s += w + "X"; break;
            case Edit::Dollar: s += "$"; break;
        }
    }
    return s;
}

TEST(ParseLayout, ExpandsRepeatCountsAndIgnoresBlanks) {
    struct Case {
        const char* text;
        const char* fields;
    };
    const Case cases[] = {
        {"(3I4, 2F12.2, F10.2)", "I4 I4 I4 F12.2 F12.2 F10.2"},
        {"(1X,A$)", "1X A $"},
        {"(A2,76X,A1)", "A2 76X A1"},
        {"(2a3, f8.0, i2)", "A3 A3 F8.0 I2"},
        {"(3A)", "A A A"},
        {"  ( 3 I 4 , 2 F 12 . 2 )  ", "I4 I4 I4 F12.2 F12.2"},
        {"(F1 2.2, 1 0X)", "F12.2 10X"},  // blanks inside a number, too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(fields(parse_layout(c.text)), c.fields);
    }
}

TEST(ParseLayout, RejectsMalformedLayouts) {
    const char* const cases[] = {
        "3I4",        "(3I4",    "(I4,,I4)", "(I4 I4)", "(,I4)",  "(I4,)",
        "(F8)",       "(F8.)",   "(I)",      "(A0)",    "(0I4)",  "(Q4)",
        "(I4) extra", "(25I1)",  "",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_THROW(parse_layout(text), LayoutError);
    }
}

}  // namespace
}  // namespace velor::textio
