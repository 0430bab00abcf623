// Runs killed with SIGKILL at many points, beside the complete output files
// of an earlier run on a different data set.  After every kill each of
// NAMEx.hkl, NAMEx.ins and NAMEx.abs must be whole: byte for byte the
// earlier file or the new one.  The files are put in place in the order
// hkl, ins, abs, so a new file never stands beside an older file that the
// run writes before it.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <thread>

#include "robustness/child.hpp"
#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Enough reflections for the corrected file to take many writes, and REM
// lines added to the new .res so that NAMEx.ins does too; the sanitizer and
// debug builds run ten to twenty times slower.
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kReflections = 15'000;
constexpr int kRemarks = 10'000;
#else
constexpr int kReflections = 300'000;
constexpr int kRemarks = 50'000;
#endif

const char* const kOutputs[] = {"gx.hkl", "gx.ins", "gx.abs"};  // in the order they are put in place
const char* const kTemporaries[] = {".gx.hkl.tmp", ".gx.ins.tmp", ".gx.abs.tmp"};  // and a number
const std::vector<std::string> kAllFiles{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"};

using Outputs = std::array<std::string, 3>;  // the texts of the files in kOutputs

Outputs read_outputs(const fs::path& folder) {
    return {read_file(folder / kOutputs[0]), read_file(folder / kOutputs[1]), read_file(folder / kOutputs[2])};
}

void generate(const fs::path& folder, int reflections, const std::string& seed, const std::string& system) {
    const auto r = run_program(folder, program_path("velor-gen"),
                               {"--out", "g", "--reflections", std::to_string(reflections), "--seed", seed,
                                "--system", system});
    ASSERT_EQ(r.status, 0) << r.err;
}

// The sizes of the temporary files of the outputs, -1 for none; with
// `remove` (what SIGKILL may leave), the temporary files are removed.
std::array<long, 3> temporaries(const fs::path& folder, bool remove = false) {
    std::array<long, 3> sizes{-1, -1, -1};
    for (const auto& entry : fs::directory_iterator(folder)) {
        for (int i = 0; i < 3; ++i) {
            if (entry.path().filename().string().rfind(kTemporaries[i], 0) != 0) continue;
            std::error_code error;  // put in place meanwhile
            const auto size = fs::file_size(entry.path(), error);
            sizes[i] = error ? -1 : static_cast<long>(size);
            if (remove) fs::remove(entry.path());
        }
    }
    return sizes;
}

// How many of the outputs, in order, are the new files (0 to 3); -1 when
// a file is neither whole file, or a new file follows an earlier one.
int new_files(const fs::path& folder, const Outputs& earlier, const Outputs& fresh) {
    const Outputs now = read_outputs(folder);
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (now[i] != fresh[i] && now[i] != earlier[i]) return -1;
        if (now[i] == fresh[i] && count++ != i) return -1;
    }
    return count;
}

struct KillPoint {
    int file;         // index in kOutputs of the file being written, or -1 for a kill by time
    double fraction;  // kill once its temporary file holds this part of the complete file
    std::chrono::microseconds delay{};  // for a kill by time, after the start
};

// Starts a run and kills it at the point; the run's exit status (137 when
// killed, 0 when it finished first).
int run_and_kill(const fs::path& folder, const KillPoint& point, const Outputs& fresh) {
    const pid_t pid = start_child(folder, {program_path("velor"), "g", "L"});
    if (point.file < 0) std::this_thread::sleep_for(point.delay);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (point.file >= 0 && Clock::now() < deadline &&
           temporaries(folder)[point.file] < point.fraction * static_cast<double>(fresh[point.file].size())) {
        if (const int status = poll_child(pid); status >= 0) return status;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    ::kill(pid, SIGKILL);
    return wait_child(pid, std::chrono::seconds(30));
}

TEST(FaultInjection, KilledRunsLeaveWholeFiles) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    ScratchFolder dir("kill");

    // The earlier run: a small monoclinic data set.
    generate(dir.path(), kReflections / 10, "11", "monoclinic");
    ASSERT_EQ(run_velor(dir.path(), {"g", "L"}).status, 0);
    const Outputs earlier = read_outputs(dir.path());

    // The new data set, triclinic, with REM lines before END, and the
    // outputs of a run that is not interrupted.
    generate(dir.path(), kReflections, "12", "triclinic");
    std::string res = read_file(dir / "g.res"), remarks;
    for (int i = 0; i < kRemarks; ++i) remarks += "REM padding line " + std::to_string(i) + "\n";
    write_file(dir / "g.res", res.insert(res.find("\nEND") + 1, remarks));
    const auto started = Clock::now();
    ASSERT_EQ(run_velor(dir.path(), {"g", "L"}).status, 0);
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const Outputs fresh = read_outputs(dir.path());
    for (int i = 0; i < 3; ++i) ASSERT_NE(fresh[i], earlier[i]) << kOutputs[i];

    // Kills while each file is written, once its temporary file holds a
    // share of the complete file; then kills at random moments.
    std::vector<KillPoint> points;
    for (double f : {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.99}) points.push_back({0, f});
    for (double f : {0.0, 0.3, 0.6, 0.9}) points.push_back({1, f});
    std::mt19937 random(20240607);
    std::uniform_int_distribution<long> moment(0, duration.count());
    for (int i = 0; i < 10; ++i) points.push_back({-1, 0.0, std::chrono::microseconds(moment(random))});

    int data_interrupted = 0, instructions_interrupted = 0;
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.file < 0 ? "kill after " + std::to_string(point.delay.count()) + " us"
                                    : "kill at " + std::to_string(point.fraction) + " of " + kOutputs[point.file]);
        for (int i = 0; i < 3; ++i) write_file(dir / kOutputs[i], earlier[i]);
        const int status = run_and_kill(dir.path(), point, fresh);
        EXPECT_TRUE(status == 128 + SIGKILL || status == 0) << "status " << status;
        const int now_new = new_files(dir.path(), earlier, fresh);
        EXPECT_GE(now_new, 0) << "an output file is neither the earlier nor the new one, or out of order";
        // A temporary file left by the kill is a file not yet in place:
        // the files before it are new, it and those after it as they were
        // (the report is begun before the instructions, and put in place
        // after them).  Nothing else is left.
        const std::array<long, 3> left = temporaries(dir.path(), true);
        EXPECT_EQ(dir.names(), kAllFiles);
        EXPECT_TRUE(left[0] < 0 || now_new == 0) << now_new;
        EXPECT_TRUE(left[1] < 0 || now_new == 1) << now_new;
        EXPECT_TRUE(left[2] < 0 || now_new == 1 || now_new == 2) << now_new;
        // On a busy machine a kill may come after the file it was meant
        // for is in place; enough of them must come while it is written.
        if (left[0] >= 0) ++data_interrupted;
        if (left[1] >= 0) ++instructions_interrupted;
    }
    EXPECT_GT(data_interrupted, 0) << "no kill came while NAMEx.hkl was written";
    EXPECT_GT(instructions_interrupted, 0) << "no kill came while NAMEx.ins was written";

    // A run that ends early by itself (a .res without END, after the
    // corrected data are in place) leaves no temporary file behind.
    for (int i = 0; i < 3; ++i) write_file(dir / kOutputs[i], earlier[i]);
    write_file(dir / "g.res", res.erase(res.find("\nEND") + 1, 4));
    const auto early = run_velor(dir.path(), {"g", "L"});
    EXPECT_EQ(early.status, 2);
    EXPECT_TRUE(early.err.ends_with("velor: End of file\n")) << early.err;
    EXPECT_EQ(new_files(dir.path(), earlier, fresh), 1);
    EXPECT_EQ(dir.names(), kAllFiles);
}

}  // namespace
}  // namespace velor::testing
