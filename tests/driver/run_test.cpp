#include <gtest/gtest.h>

#include "driver/expected_text.hpp"
#include "stops/run_stop.hpp"
#include "support/process.hpp"

namespace velor::testing {
namespace {

TEST(Velor, HelpAndVersionPrintNoBanner) {
    ScratchFolder dir("help");
    for (const char* flag : {"--help", "-h"}) {
        const auto r = run_velor(dir.path(), {flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Usage: velor [OPTIONS] [NAME] [C|Q|L|F]"), std::string::npos) << r.out;
        for (const char* option : {"--sin-min X", "--sin-max X", "--omit X", "--json FILE", "--cif FILE",
                                   "--html FILE", "--version", "Exit status: 0 done; 1"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
    }
    const auto v = run_velor(dir.path(), {"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "velor 1.0.0\n");
    EXPECT_TRUE(dir.names().empty());
}

TEST(Velor, PromptThenMissingFileStop) {
    ScratchFolder dir("prompt");
    const auto r = run_velor(dir.path(), {}, "abc\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kBanner + "   Input filename without extension:  THERE IS NO SUCH FILE AS \r\n " +
                         blank_padded("abc.res"));
    EXPECT_EQ(r.err, "");
}

TEST(Velor, StemFromTheCommandLine) {
    ScratchFolder dir("stem");
    // A blank inside the first argument ends the stem; the fit letter does
    // not matter before the files are found.
    const auto r = run_velor(dir.path(), {"abc def", "q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kBanner + " THERE IS NO SUCH FILE AS \r\n " + blank_padded("abc.res"));
}

TEST(Velor, EndOfInputAtThePromptIsFatal) {
    ScratchFolder dir("eof");
    const auto r = run_velor(dir.path(), {});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, kBanner + "   Input filename without extension: ");
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 12), "End of file\n") << r.err;
}

// Paths longer than any field are ordinary: the stem is kept whole, given
// on the command line or typed.
TEST(Velor, LongPathsAreKeptWhole) {
    ScratchFolder dir("long-path");
    std::filesystem::path folder;
    for (int i = 0; i < 5; ++i) folder /= std::string(59, static_cast<char>('a' + i));
    std::filesystem::create_directories(dir / folder.string());
    const auto flat = test_data() / "golden" / "flat";
    for (const char* name : {"g.res", "g.fcf"}) std::filesystem::copy_file(flat / name, dir / (folder / name).string());
    const std::string stem = (folder / "g").string();
    ASSERT_GT(stem.size(), 300u);
    for (const bool typed : {false, true}) {
        SCOPED_TRACE(typed ? "typed" : "argument");
        const auto r = typed ? run_velor(dir.path(), {"", "F"}, stem + "\n") : run_velor(dir.path(), {stem, "F"});
        EXPECT_EQ(r.status, 0) << r.err;
        for (const char* name : {"gx.hkl", "gx.abs"})
            EXPECT_EQ(read_file(dir / (folder / name).string()), read_file(flat / name)) << name;
    }
}

}  // namespace
}  // namespace velor::testing
