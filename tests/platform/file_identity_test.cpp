// Two names for one file in spellings that a command line may give (links
// are among the whole runs of tests/robustness); names of no file yet, by
// their paths.  Windows compares names without regard to case.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_identity.hpp"
#include "support/process.hpp"

namespace velor::platform {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

TEST(FileIdentity, NamesOfOneFile) {
    const testing::ScratchFolder dir("identity");
    testing::write_file(dir / "x.fcf", "x");
    testing::write_file(dir / "y.fcf", "y");
    fs::create_directory(dir / "a");
    const std::string d = dir.path().string() + "/";
    struct Case {
        std::string first, second;
        bool same;
    };
    std::vector<Case> cases = {
        {d + "x.fcf", d + "./a/./../x.fcf", true},
        {d + "x.fcf", d + "nowhere/../x.fcf", true},  // through a folder that does not exist
        {d + "x.fcf", "x.fcf", true},  // relative to the scratch folder, the working folder here
        {d + "x.fcf", d + "X.FCF", kWindows},
        {d + "x.fcf", d + "y.fcf", false},
        {d + "x.fcf", d + "a", false},
        {d + "new.json", d + "a/../new.json", true},  // neither exists
        {d + "new.json", d + "NEW.JSON", kWindows},
        {d + "new.json", d + "a/new.json", false},
    };
    if (!kWindows) {
        fs::create_directory_symlink("a", dir / "folder-link");
        cases.push_back({d + "a/new.json", d + "folder-link/new.json", true});
    }
    const fs::path working_folder = fs::current_path();
    fs::current_path(dir.path());
    for (const Case& c : cases)
        EXPECT_EQ(same_file(file_key(c.first), file_key(c.second)), c.same) << c.first << " and " << c.second;
    fs::current_path(working_folder);
}

}  // namespace
}  // namespace velor::platform
