#include <gtest/gtest.h>

#include "output/new_instructions.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

using textio::make_field;

TEST(NewInstructions, LineEdits) {
    const std::string eighty(80, 'X');
    const std::string exti80 = "EXTI" + std::string(76, '9');
    const struct {
        std::string line, expected;
    } cases[] = {
        {"MERG 0", "REM MERG 0"}, {"merg 0 extra", "REM merg 0 extra"}, {"MERG 2", "MERG 2"}, {" MERG 0", " MERG 0"},
        {"exti", "REM exti"},     {exti80, "REM " + exti80.substr(0, 76)},  {"hklf 5", "HKLF 4"},
        {"HKLF 4 1 0 1 0 1 0 0 0 0 -1", "HKLF 4"}, {"FVAR 0.25", "FVAR 0.25"}, {eighty + "tail", eighty},
        {"MERG\t0", "REM MERG\t0"}, {"MERG \t 0", "REM MERG \t 0"}, {"MERG\t2", "MERG\t2"}, {"MERG0", "MERG0"},
        {"EXTI\t0.01", "REM EXTI\t0.01"}, {"HKLF\t5", "HKLF 4"},
    };
    for (const auto& c : cases) EXPECT_EQ(edit_instruction_line(c.line), make_field(c.expected)) << c.line;
}

TEST(NewInstructions, EndAndTwinLines) {
    const struct {
        const char* line;
        bool ends, twin;
    } cases[] = {
        {"END", true, false},  {"end  comment", true, false}, {"ENDS", false, false}, {"END.", false, false},
        {" END", false, false}, {"TWIN -1 0 0 0 -1 0 0 0 -1 2", false, true}, {"basf 0.3", false, true},
        {"HKLF 5", false, true}, {"hklf  5 1", false, true}, {"HKLF 4", false, false}, {"HKLF 55", false, false},
        {"END\t", true, false}, {"END\tcomment", true, false}, {"HKLF\t5", false, true}, {"HKLF \t5\t1", false, true},
        {"HKLF\t4", false, false}, {"HKLF 5\t", false, true}, {"TWIN\t-1 0 0", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_end_line(make_field(c.line)), c.ends) << c.line;
        EXPECT_EQ(refines_twin(make_field(c.line)), c.twin) << c.line;
    }
}

}  // namespace
}  // namespace velor::output
