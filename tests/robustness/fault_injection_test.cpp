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

struct Outputs {
    std::string files[3];
};

Outputs read_outputs(const fs::path& folder) {
    Outputs o;
    for (int i = 0; i < 3; ++i) o.files[i] = read_file(folder / kOutputs[i]);
    return o;
}

void generate(const fs::path& folder, int reflections, const std::string& seed, const std::string& system) {
    const auto r = run_program(folder, program_path("velor-gen"),
                               {"--out", "g", "--reflections", std::to_string(reflections), "--seed", seed,
                                "--system", system});
    ASSERT_EQ(r.status, 0) << r.err;
}

// Puts `count` REM lines before the END line of the .res.
void add_remarks(const fs::path& res, int count) {
    std::string text = read_file(res);
    const std::size_t end = text.find("\nEND");
    ASSERT_NE(end, std::string::npos);
    std::string remarks;
    for (int i = 0; i < count; ++i) remarks += "REM padding line " + std::to_string(i) + "\n";
    write_file(res, text.insert(end + 1, remarks));
}

// The size of the temporary file of output `file`, or -1 while there is none.
long temporary_size(const fs::path& folder, int file) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(kTemporaries[file], 0) != 0) continue;
        std::error_code error;
        const auto size = fs::file_size(entry.path(), error);
        return error ? -1 : static_cast<long>(size);
    }
    return -1;
}

// Removes what SIGKILL may leave, temporary files, and tells of which
// outputs it found one.  Anything else in the folder but the data and the
// three outputs is a fault.
std::array<bool, 3> clear_temporaries(const fs::path& folder) {
    std::array<bool, 3> found{};
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "g.res" || name == "g.fcf" || name == "gx.hkl" || name == "gx.ins" || name == "gx.abs") continue;
        bool temporary = false;
        for (int i = 0; i < 3; ++i) {
            if (name.rfind(kTemporaries[i], 0) == 0) found[i] = temporary = true;
        }
        EXPECT_TRUE(temporary) << "unexpected file " << name;
        fs::remove(entry.path());
    }
    return found;
}

// How many of the outputs, in order, are the new files (0 to 3); -1 when
// a file is neither whole file, or a new file follows an earlier one.
int new_files(const fs::path& folder, const Outputs& earlier, const Outputs& fresh) {
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        const std::string text = read_file(folder / kOutputs[i]);
        const bool is_new = text == fresh.files[i];
        if (!is_new && text != earlier.files[i]) return -1;
        if (is_new && count != i) return -1;
        count += is_new ? 1 : 0;
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
    const int null = ::open("/dev/null", O_WRONLY);
    const pid_t pid = start_child(folder, {program_path("velor"), "g", "L"}, null);
    ::close(null);
    if (point.file < 0) {
        std::this_thread::sleep_for(point.delay);
    } else {
        const auto wanted = static_cast<long>(point.fraction * static_cast<double>(fresh.files[point.file].size()));
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (temporary_size(folder, point.file) < wanted && Clock::now() < deadline) {
            if (const int status = poll_child(pid); status >= 0) return status;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    ::kill(pid, SIGKILL);
    return wait_child(pid, std::chrono::seconds(30));
}

TEST(FaultInjection, KilledRunsLeaveWholeFiles) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    ScratchFolder dir("kill");        // the killed runs
    ScratchFolder whole("kill-new");  // one run that is not interrupted

    // The earlier run: a small monoclinic data set.
    generate(dir.path(), kReflections / 10, "11", "monoclinic");
    ASSERT_EQ(run_velor(dir.path(), {"g", "L"}).status, 0);
    const Outputs earlier = read_outputs(dir.path());

    // The new data set, triclinic, with a long .res; its complete outputs.
    generate(dir.path(), kReflections, "12", "triclinic");
    add_remarks(dir / "g.res", kRemarks);
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(dir / name, whole / name);
    const auto started = Clock::now();
    ASSERT_EQ(run_velor(whole.path(), {"g", "L"}).status, 0);
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const Outputs fresh = read_outputs(whole.path());
    for (int i = 0; i < 3; ++i) ASSERT_NE(fresh.files[i], earlier.files[i]) << kOutputs[i];

    // Kills while each file is written, once its temporary file holds a
    // share of the complete file; then kills at random moments.
    std::vector<KillPoint> points;
    for (double f : {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.99}) points.push_back({0, f});
    for (double f : {0.0, 0.3, 0.6, 0.9}) points.push_back({1, f});
    std::mt19937 random(20240607);
    std::uniform_int_distribution<long> moment(0, duration.count());
    for (int i = 0; i < 10; ++i) points.push_back({-1, 0.0, std::chrono::microseconds(moment(random))});

    int instructions_interrupted = 0;
    for (const KillPoint& point : points) {
        SCOPED_TRACE(point.file < 0 ? "kill after " + std::to_string(point.delay.count()) + " us"
                                    : "kill at " + std::to_string(point.fraction) + " of " + kOutputs[point.file]);
        for (int i = 0; i < 3; ++i) write_file(dir / kOutputs[i], earlier.files[i]);
        const int status = run_and_kill(dir.path(), point, fresh);
        EXPECT_TRUE(status == 128 + SIGKILL || status == 0) << "status " << status;
        const int now_new = new_files(dir.path(), earlier, fresh);
        EXPECT_GE(now_new, 0) << "an output file is neither the earlier nor the new one, or out of order";
        // A temporary file left by the kill is a file not yet in place:
        // the files before it are new, it and those after it as they were
        // (the report is begun before the instructions, and put in place
        // after them).
        const std::array<bool, 3> left = clear_temporaries(dir.path());
        EXPECT_TRUE(!left[0] || now_new == 0) << now_new;
        EXPECT_TRUE(!left[1] || now_new == 1) << now_new;
        EXPECT_TRUE(!left[2] || now_new == 1 || now_new == 2) << now_new;
        // Half the corrected data or more still to compute and write: the
        // kill came first.  (The instructions are written much faster, so
        // a kill meant for them may come too late on a busy machine.)
        EXPECT_TRUE(point.file != 0 || point.fraction > 0.5 || left[0]);
        if (left[1]) ++instructions_interrupted;
    }
    EXPECT_GT(instructions_interrupted, 0) << "no kill came while NAMEx.ins was written";

    // A run that ends early by itself (a .res without END, after the
    // corrected data are in place) leaves no temporary file behind.
    for (int i = 0; i < 3; ++i) write_file(dir / kOutputs[i], earlier.files[i]);
    std::string res = read_file(dir / "g.res");
    write_file(dir / "g.res", res.erase(res.find("\nEND") + 1, 4));
    const auto early = run_velor(dir.path(), {"g", "L"});
    EXPECT_EQ(early.status, 2);
    EXPECT_TRUE(early.err.ends_with("velor: End of file\n")) << early.err;
    EXPECT_EQ(new_files(dir.path(), earlier, fresh), 1);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"}));
}

}  // namespace
}  // namespace velor::testing
