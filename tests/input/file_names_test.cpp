// The file-name stem, the fit-type letter and the five names.
#include <gtest/gtest.h>

#include <sstream>

#include "input/file_names.hpp"
#include "textio/errors.hpp"
#include "textio/text_field.hpp"

namespace velor::input {
namespace {

struct Named {
    FileNames names;
    std::string fit_type;
    std::string console;
};

Named name_run(std::vector<std::string_view> arguments, const std::string& keyboard_text = "") {
    std::istringstream in(keyboard_text);
    std::ostringstream out;
    textio::KeyboardChannel keyboard(in);
    textio::ConsoleChannel console(out);
    Named n;
    getnam(arguments, console, keyboard, n.names, n.fit_type);
    n.console = out.str();
    return n;
}

TEST(Getnam, NamesAndFitTypeLetter) {
    struct Case {
        std::vector<std::string_view> arguments;
        const char* keyboard;
        const char* stem;
        char letter;
    };
    const std::string long_word(80, 'a');
    const Case cases[] = {
        {{"abc", "q"}, "", "abc", 'Q'},
        {{"abc"}, "", "abc", 'N'},
        {{"abc", "cubic"}, "", "abc", 'N'},
        {{"abc", "F"}, "", "abc", 'F'},
        {{"abc", "l"}, "", "abc", 'L'},
        {{"abc", " c"}, "", "abc", 'N'},
        {{"abc", "x"}, "", "abc", 'N'},
        {{"abc def"}, "", "abc", 'N'},
        {{}, "typed\n", "typed", 'N'},
        {{"", "C"}, "from keyboard\n", "from", 'C'},
        {{}, " lead\n", "", 'N'},
        {{}, "\n", "", 'N'},
        {{long_word}, "", "", 'N'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        const Named n = name_run(c.arguments, c.keyboard);
        const std::string stem = c.stem;
        EXPECT_EQ(n.names.res, textio::make_field(stem + ".res"));
        EXPECT_EQ(n.names.fcf, textio::make_field(stem + ".fcf"));
        EXPECT_EQ(n.names.hkl, textio::make_field(stem + "x.hkl"));
        EXPECT_EQ(n.names.ins, textio::make_field(stem + "x.ins"));
        EXPECT_EQ(n.names.abs, textio::make_field(stem + "x.abs"));
        EXPECT_EQ(n.fit_type, textio::make_field(std::string(1, c.letter)));
        EXPECT_EQ(n.console.empty(), *c.keyboard == '\0');
    }
}

TEST(Getnam, LongStemsAreCutAtEightyColumns) {
    const std::string s75(75, 's'), s76(76, 's');
    EXPECT_EQ(name_run({s75}).names.hkl, s75 + "x.hkl");
    const Named n = name_run({s76});
    EXPECT_EQ(n.names.res, s76 + ".res");
    EXPECT_EQ(n.names.hkl, s76 + "x.hk");
}

TEST(Getnam, PromptLeavesTheLineOpen) {
    EXPECT_EQ(name_run({}, "abc\n").console, "   Input filename without extension: ");
    try {
        name_run({}, "");
        ADD_FAILURE() << "end of input accepted";
    } catch (const textio::RecordError& e) {
        EXPECT_STREQ(e.what(), "End of file");
    }
}

}  // namespace
}  // namespace velor::input
