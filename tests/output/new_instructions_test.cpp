#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/new_instructions.hpp"
#include "textio/errors.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

namespace fs = std::filesystem;
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
        {"MERG 2", "MERG 2"},
        {"merg 0", "merg 0"},
        {" MERG 0", " MERG 0"},
        {"EXTI 0.0123", "REM EXTI 0.0123"},
        {exti80, "REM " + exti80.substr(0, 76)},
        {"HKLF 4 1 0 1 0 1 0 0 0 0 -1", "HKLF 4"},
        {"HKLF 5", "HKLF 4"},
        {"hklf 5", "hklf 5"},
        {"FVAR 0.25", "FVAR 0.25"},
        {eighty + "tail", eighty},
    };
    for (const Case& c : cases) EXPECT_EQ(edit_instruction_line(c.line), make_field(c.expected)) << c.line;
}

TEST(NewInstructions, EndLine) {
    struct Case {
        const char* line;
        bool ends;
    };
    for (const Case c : {Case{"END", true}, Case{"END   ", true}, Case{"END  comment", true}, Case{"ENDS", false},
                         Case{"END.", false}, Case{" END", false}, Case{"end", false}})
        EXPECT_EQ(is_end_line(make_field(c.line)), c.ends) << c.line;
}

class NewInsFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velor_newins_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
    std::string read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string field(const std::string& name) { return make_field((dir_ / name).string()); }
    fs::path dir_;
};

TEST_F(NewInsFile, CopiesUpToEndWithEightyColumns) {
    write("a.res", "TITL x\r\nMERG 0\nHKLF 4 1\nEND\nWGHT 0.1\n");
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    newins(field("a.res"), field("ax.ins"), console);
    const std::string pad = std::string(74, ' ');
    EXPECT_EQ(read("ax.ins"), make_field("TITL x") + "\r\n" + make_field("REM MERG 0") + "\r\n" + "HKLF 4" + pad +
                                  "\r\n" + make_field("END") + "\r\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(NewInsFile, NoEndLineKeepsTheEarlierFile) {
    write("a.res", "TITL x\nHKLF 4\n");
    write("ax.ins", "earlier");
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    try {
        newins(field("a.res"), field("ax.ins"), console);
        ADD_FAILURE() << "no END line was accepted";
    } catch (const textio::RecordError& e) {
        EXPECT_STREQ(e.what(), "End of file");
    }
    EXPECT_EQ(read("ax.ins"), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace velor::output
