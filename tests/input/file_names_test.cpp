// The file-name stem, the fit-type letter and the five names.
#include <gtest/gtest.h>

#include <sstream>

#include "input/file_names.hpp"

namespace velor::input {
namespace {

TEST(Getnam, NamesAndFitTypeLetter) {
    struct Case {
        std::vector<std::string_view> arguments;
        const char* keyboard;
        std::string stem;
        char letter;
    };
    // Paths longer than a field are kept whole, typed or given; a blank ends them.
    const std::string long_path = "/data/" + std::string(300, 'a'), long_typed = std::string(95, 'b');
    const std::string long_argument = long_path + " tail", long_line = long_typed + " tail\n";
    const Case cases[] = {
        {{"abc", "q"}, "", "abc", 'Q'},          {{"abc", "l"}, "", "abc", 'L'},     {{"abc"}, "", "abc", 'N'},
        {{"abc", "cubic"}, "", "abc", 'N'},      {{"abc", " c"}, "", "abc", 'N'},    {{"abc", "x"}, "", "abc", 'N'},
        {{"abc def"}, "", "abc", 'N'},           {{}, "typed\n", "typed", 'N'},      {{}, " lead\n", "", 'N'},
        {{"", "C"}, "from keyboard\n", "from", 'C'}, {{long_argument}, "", long_path, 'N'},
        {{}, long_line.c_str(), long_typed, 'N'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        std::istringstream in(c.keyboard);
        std::ostringstream out;
        textio::KeyboardChannel keyboard(in);
        textio::ConsoleChannel console(out);
        const NamedRun run = getnam(c.arguments, console, keyboard);
        const FileNames& names = run.names;
        EXPECT_EQ(names.stem, c.stem);
        EXPECT_EQ(names.res, c.stem + ".res");
        EXPECT_EQ(names.fcf, c.stem + ".fcf");
        EXPECT_EQ(names.hkl, c.stem + "x.hkl");
        EXPECT_EQ(names.ins, c.stem + "x.ins");
        EXPECT_EQ(names.abs, c.stem + "x.abs");
        EXPECT_EQ(run.fit_letter, c.letter);
        EXPECT_EQ(out.str(), *c.keyboard ? "   Input filename without extension: " : "");
    }
}

}  // namespace
}  // namespace velor::input
