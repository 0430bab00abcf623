// Which summary file clashes, and the line that says so: a file of the run
// found by its identity or by its path, a summary file before it, the first
// clash only.
#include <gtest/gtest.h>

#include "driver/summary_paths.hpp"

namespace velor::driver {
namespace {

TEST(SummaryClash, TheFirstNamesTheOptionAndTheFileItWouldReplace) {
    const platform::FileKey fcf{true, 7, 1001, ""}, hkl{false, 0, 0, "/w/gx.hkl"}, s{false, 0, 0, "/w/s.txt"};
    const std::vector<NamedFile> run_files{{"the reflection file", "g.fcf", fcf}, {"the corrected data", "gx.hkl", hkl}};
    const std::vector<std::pair<std::vector<NamedFile>, std::string>> cases = {
        {{}, ""},
        {{{"--json", "s.txt", s}, {"--cif", "t.txt", {false, 0, 0, "/w/t.txt"}}}, ""},
        {{{"--json", "n.txt", {false, 7, 1001, "/w/n.txt"}}}, ""},  // no file yet: the numbers mean nothing
        {{{"--json", "link", fcf}}, "option --json: 'link' would replace 'g.fcf', the reflection file"},
        {{{"--cif", "./gx.hkl", hkl}}, "option --cif: './gx.hkl' would replace 'gx.hkl', the corrected data"},
        {{{"--json", "s.txt", s}, {"--html", "a/../s.txt", s}},
         "option --html: 'a/../s.txt' would replace 's.txt', the file of option --json"},
        {{{"--json", "s.txt", s}, {"--cif", "g.fcf", fcf}, {"--html", "s.txt", s}},
         "option --cif: 'g.fcf' would replace 'g.fcf', the reflection file"},
    };
    for (const auto& [summaries, clash] : cases) EXPECT_EQ(summary_clash(run_files, summaries), clash);
}

}  // namespace
}  // namespace velor::driver
