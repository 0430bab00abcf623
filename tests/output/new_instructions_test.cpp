#include <gtest/gtest.h>

#include <sstream>

#include "output/new_instructions.hpp"
#include "support/process.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

using textio::make_field;

TEST(NewInstructions, LineEdits) {
    const std::string eighty(80, 'X');
    const std::string exti80 = "EXTI" + std::string(76, '9');
    struct Case {
        std::string line, expected;
    };
    const Case cases[] = {
        {"MERG 0", "REM MERG 0"},
        {"MERG 0 extra", "REM MERG 0 extra"},
        {"merg 0", "REM merg 0"},
        {"MERG 2", "MERG 2"},
        {" MERG 0", " MERG 0"},
        {"EXTI 0.0123", "REM EXTI 0.0123"},
        {"exti", "REM exti"},
        {exti80, "REM " + exti80.substr(0, 76)},
        {"HKLF 4 1 0 1 0 1 0 0 0 0 -1", "HKLF 4"},
        {"hklf 5", "HKLF 4"},
        {"FVAR 0.25", "FVAR 0.25"},
        {eighty + "tail", eighty},
    };
    for (const Case& c : cases) EXPECT_EQ(edit_instruction_line(c.line), make_field(c.expected)) << c.line;
}

TEST(NewInstructions, EndAndTwinLines) {
    struct Case {
        const char* line;
        bool ends, twin;
    };
    const Case cases[] = {
        {"END", true, false},  {"end  comment", true, false}, {"ENDS", false, false}, {"END.", false, false},
        {" END", false, false}, {"TWIN -1 0 0 0 -1 0 0 0 -1 2", false, true}, {"basf 0.3", false, true},
        {"HKLF 5", false, true}, {"hklf  5 1", false, true}, {"HKLF 4", false, false}, {"HKLF 55", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_end_line(make_field(c.line)), c.ends) << c.line;
        EXPECT_EQ(refines_twin(make_field(c.line)), c.twin) << c.line;
    }
}

TEST(NewInstructions, CopiesUpToEndWithEightyColumns) {
    const testing::ScratchFolder dir("newins");
    testing::write_file(dir / "a.res", "TITL x\r\nMERG 0\nHKLF 5 1\nEND\nWGHT 0.1\n");
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    textio::OutputFile ins((dir / "ax.ins").string());
    EXPECT_TRUE(newins(make_field((dir / "a.res").string()), ins, console).twinned);
    ins.put_in_place();
    EXPECT_EQ(testing::read_file(dir / "ax.ins"), make_field("TITL x") + "\r\n" + make_field("REM MERG 0") + "\r\n" +
                                                      make_field("HKLF 4") + "\r\n" + make_field("END") + "\r\n");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace velor::output
