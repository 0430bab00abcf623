// Whole runs on small committed data sets, compared byte for byte with
// the console text and the three files they must give.  Each case folder
// holds g.res and g.fcf, the command-line arguments, the keyboard answers
// and the expected output (the warnings on the error stream too: these data
// sets are small).
#include <gtest/gtest.h>

#include <cstdint>
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

// A file as its size and 64-bit FNV-1a digest, in hexadecimal.
std::string digest(const fs::path& file) {
    const std::string bytes = read_file(file);
    std::uint64_t h = 14695981039346656037u;
    for (const unsigned char c : bytes) h = (h ^ c) * 1099511628211u;
    std::ostringstream text;
    text << bytes.size() << " " << std::hex << h;
    return text.str();
}

// Whole runs over more than one batch of the threads that read the list
// and write NAMEx.hkl (4,096 records each): 9,000 reflections made by the
// generator, a fifth of them weak and some negative, fitted by the cubic
// model (whose first pass takes the geometry and the screening from the
// reading thread), by the linear one, and by the cubic one with a summary
// (whose second pass measures each reflection too).  The console and the
// three files are compared byte for byte, as sizes and digests, with what
// the program wrote when this test was written.
TEST(Golden, ManyReadingBatches) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    ScratchFolder dir("batches");
    const auto gen = run_program(dir.path(), program_path("velor-gen"),
                                 {"--out", "g", "--reflections", "9000", "--system", "monoclinic", "--fit", "C",
                                  "--lambda", "1.54184", "--noise", "1", "--seed", "41", "--weak-fraction", "0.2",
                                  "--negative-fraction", "0.05"});
    ASSERT_EQ(gen.status, 0) << gen.err;
    ASSERT_EQ(digest(dir / "g.res") + ", " + digest(dir / "g.fcf"), "3117 329192ce1aad93e3, 504741 9a1b2094da11fb36")
        << "the generator makes other data: make the expected digests anew";
    const struct {
        std::vector<std::string> arguments;
        std::string console, hkl, ins, abs;
    } cases[] = {
        {{"g", "C"}, "2497 dee2dbc872dc3e31", "360030 b46cc48252f49de4", "5248 46ba7871c6ed8243",
         "2349 d3f90895c6525589"},
        {{"g", "L"}, "2497 86928ac0470db0df", "360030 458c00af4a1c13f5", "5248 46ba7871c6ed8243",
         "2349 ea0b70d4df71d419"},
        {{"--json", "g.json", "g", "C"}, "2497 dee2dbc872dc3e31", "360030 b46cc48252f49de4",
         "5248 46ba7871c6ed8243", "2349 d3f90895c6525589"},
        {{"--html", "g.html", "g", "L"}, "2497 86928ac0470db0df", "360030 458c00af4a1c13f5",
         "5248 46ba7871c6ed8243", "2349 ea0b70d4df71d419"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const auto r = run_velor(dir.path(), c.arguments);
        ASSERT_EQ(r.status, 0) << r.err;
        write_file(dir / "console", r.out);
        EXPECT_EQ(digest(dir / "console"), c.console) << r.out;
        EXPECT_EQ(digest(dir / "gx.hkl"), c.hkl);
        EXPECT_EQ(digest(dir / "gx.ins"), c.ins);
        EXPECT_EQ(digest(dir / "gx.abs"), c.abs) << read_file(dir / "gx.abs");
    }
}

}  // namespace
}  // namespace velor::testing
