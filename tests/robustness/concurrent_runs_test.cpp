// Runs on one stem at the same time, with different fit types, as a batch
// script or two terminals start them: each run puts its whole set in place
// under a lock that the other takes too, so the set on disk afterwards (the
// three files and the JSON summary) is always the whole set of one run.
#include <gtest/gtest.h>

#include <map>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

// A process of the sanitizer and debug builds takes a third of a second to
// start: fewer pairs there, where the point is the memory and the threads.
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kPairs = 30;
#else
constexpr int kPairs = 200;
#endif

TEST(ConcurrentRuns, TheSetOnDiskComesFromOneRun) {
    const ScratchFolder dir("concurrent");
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(test_data() / "golden" / "cubic" / name, dir / name);
    const auto set_on_disk = [&] {
        std::string set;
        for (const char* name : {"gx.hkl", "gx.ins", "gx.abs", "s.json"}) set += read_file(dir / name) + '\0';
        return set;
    };
    const auto command = [](const char* fit) {
        return std::vector<std::string>{program_path("velor"), "--json", "s.json", "g", fit};
    };
    std::map<std::string, char> sets;  // of a run alone, and its fit type
    for (const char* fit : {"C", "F"}) {
        ASSERT_EQ(run_program(dir.path(), command(fit)).status, 0);
        sets[set_on_disk()] = *fit;
    }
    ASSERT_EQ(sets.size(), 2u);

    int mixed = 0;
    std::map<char, int> last;  // which run's set stood after each pair
    for (int pair = 0; pair < kPairs; ++pair) {
        const pid_t cubic = start_program(dir.path(), command("C"));
        const pid_t flat = start_program(dir.path(), command("F"));
        ASSERT_EQ(wait_program(cubic, std::chrono::minutes(1)), 0);
        ASSERT_EQ(wait_program(flat, std::chrono::minutes(1)), 0);
        const auto found = sets.find(set_on_disk());
        if (found == sets.end()) ++mixed;
        else ++last[found->second];
    }
    EXPECT_EQ(mixed, 0) << "sets mixed from two runs (C last " << last['C'] << ", F last " << last['F'] << ")";
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins", "s.json"}));
}

}  // namespace
}  // namespace velor::testing
