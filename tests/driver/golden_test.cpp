// Whole runs on small committed data sets, compared byte for byte with
// the console text and the three files they must give.  Each case folder
// holds g.res and g.fcf, the command-line arguments, the keyboard answers
// and the expected output (the warnings on the error stream too: these data
// sets are small).
#include <gtest/gtest.h>

#include <sstream>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, ConsoleAndFilesByteForByte) {
    const fs::path data = test_data() / "golden" / GetParam();
    ScratchFolder dir(GetParam());
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(data / name, dir / name);
    // Files of an earlier run are replaced.
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"}) write_file(dir / name, "earlier run\n");

    const auto r = run_velor(dir.path(), words(read_file(data / "args")), read_file(data / "stdin"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, read_file(data / "expected.stderr"));
    EXPECT_EQ(r.out, read_file(data / "expected.stdout"));
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"}) EXPECT_EQ(read_file(dir / name), read_file(data / name)) << name;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"}));
}

// cubic: current layout, LF, fit letter C.  quadratic: legacy layout and
// CR LF, CELL right after TITL, letter q.  linear_dialogue: the dialogue
// with refused answers at every question.  flat: legacy layout, EXTI
// line.  default_cu: Cu radiation and an empty answer, so the default
// road takes the cubic fit.
INSTANTIATE_TEST_SUITE_P(Runs, Golden,
                         ::testing::Values("cubic", "quadratic", "linear_dialogue", "flat", "default_cu"));

}  // namespace
}  // namespace velor::testing
