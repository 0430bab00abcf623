#include <gtest/gtest.h>

#include "driver/expected_text.hpp"
#include "support/process.hpp"

namespace velor::testing {
namespace {

TEST(Velor, HelpAndVersionPrintNoBanner) {
    ScratchFolder dir("help");
    for (const char* flag : {"--help", "-h"}) {
        const auto r = run_velor(dir.path(), {flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: velor [NAME [C|Q|L|F]]\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("Exit status: 0 done; 1"), std::string::npos);
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

}  // namespace
}  // namespace velor::testing
