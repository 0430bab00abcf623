// Whole runs on small committed data sets, compared byte for byte with
// the console text and the three files they must give.  Each case folder
// holds g.res and g.fcf, the command-line arguments, the keyboard answers
// and the expected output (the warnings on the error stream too: these data
// sets are small).
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, ConsoleAndFilesByteForByte) {
    const fs::path data = test_data() / "golden" / GetParam();
    ScratchFolder dir(GetParam());
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(data / name, dir / name);
    // Files of an earlier run are replaced.
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"}) write_file(dir / name, "earlier run\n");

    std::istringstream args(read_file(data / "args"));
    const auto r = run_velor(dir.path(), {std::istream_iterator<std::string>(args), {}}, read_file(data / "stdin"));
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

// Paths longer than any field are ordinary: a typed stem is kept whole.
// The version is printed without a banner, and no file is left.
TEST(Golden, LongPathAndVersion) {
    ScratchFolder dir("long-path");
    fs::path folder;
    for (int i = 0; i < 5; ++i) folder /= std::string(59, static_cast<char>('a' + i));
    fs::create_directories(dir / folder.string());
    const fs::path flat = test_data() / "golden" / "flat";
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(flat / name, dir / (folder / name).string());
    const auto r = run_velor(dir.path(), {"", "F"}, (folder / "g").string() + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* name : {"gx.hkl", "gx.abs"})
        EXPECT_EQ(read_file(dir / (folder / name).string()), read_file(flat / name)) << name;
    fs::remove_all(dir.path() / *folder.begin());
    EXPECT_EQ(run_velor(dir.path(), {"--version"}).out, "velor 1.0.0\n");
    EXPECT_TRUE(dir.names().empty());
}

}  // namespace
}  // namespace velor::testing
