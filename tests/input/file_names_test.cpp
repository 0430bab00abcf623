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
    char fit_letter = 0;
    std::string console;
};

Named name_run(std::vector<std::string_view> arguments, const std::string& keyboard_text = "") {
    std::istringstream in(keyboard_text);
    std::ostringstream out;
    textio::KeyboardChannel keyboard(in);
    textio::ConsoleChannel console(out);
    Named n;
    getnam(arguments, console, keyboard, n.names, n.fit_letter);
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
    // Paths longer than a field are kept whole, typed or given.
    const std::string long_path = "/data/" + std::string(300, 'a'), long_typed = std::string(95, 'b');
    const std::string long_argument = long_path + " tail", long_line = long_typed + " tail\n";
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
        {{long_path}, "", long_path.c_str(), 'N'},
        {{long_argument}, "", long_path.c_str(), 'N'},
        {{}, long_line.c_str(), long_typed.c_str(), 'N'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        const Named n = name_run(c.arguments, c.keyboard);
        const std::string stem = c.stem;
        EXPECT_EQ(n.names.stem, stem);
        EXPECT_EQ(n.names.res, textio::name_field(stem + ".res"));
        EXPECT_EQ(n.names.fcf, textio::name_field(stem + ".fcf"));
        EXPECT_EQ(n.names.hkl, textio::name_field(stem + "x.hkl"));
        EXPECT_EQ(n.names.ins, textio::name_field(stem + "x.ins"));
        EXPECT_EQ(n.names.abs, textio::name_field(stem + "x.abs"));
        EXPECT_EQ(n.fit_letter, c.letter);
        EXPECT_EQ(n.console.empty(), *c.keyboard == '\0');
    }
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
