// Runs ended by a signal at many points, beside the complete output files
// of an earlier run on a different data set.  NAMEx.hkl, NAMEx.ins and
// NAMEx.abs are put in place together at the end of a run that succeeds,
// so after every kill the three are either all the earlier files or all the
// new ones.  Only SIGKILL, which no program can catch, may cut the renaming
// in two (they are renamed in the order hkl, abs, ins) and leave temporary
// files; SIGINT, SIGTERM and SIGHUP leave none.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <random>
#include <thread>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Sizes = std::array<long, 3>;  // of the temporary files of kOutputs, -1 for none

// Enough reflections for the corrected file to take many writes, and REM
// lines added to the new .res so that NAMEx.ins does too; fewer of both,
// and fewer runs signalled during the renames, where the sanitizer and
// debug builds run ten to twenty times slower.
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kReflections = 15'000, kRemarks = 10'000, kRenameRuns = 15;
#else
constexpr int kReflections = 300'000, kRemarks = 50'000, kRenameRuns = 60;
#endif

const char* const kOutputs[] = {"gx.hkl", "gx.abs", "gx.ins"};  // in the order they are put in place
const char* const kTemporaries[] = {".gx.hkl.tmp", ".gx.abs.tmp", ".gx.ins.tmp"};  // and a number
const std::vector<std::string> kAllFiles{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"};
using Outputs = std::array<std::string, 3>;

Outputs read_outputs(const fs::path& folder) {
    return {read_file(folder / kOutputs[0]), read_file(folder / kOutputs[1]), read_file(folder / kOutputs[2])};
}

void generate(const fs::path& folder, int reflections, const std::string& seed, const std::string& system) {
    const auto r = run_program(folder, {program_path("velor-gen"), "--out", "g", "--reflections",
                                        std::to_string(reflections), "--seed", seed, "--system", system});
    ASSERT_EQ(r.status, 0) << r.err;
}

// The temporary files of the outputs, removed with `remove` (what SIGKILL
// may leave).
Sizes temporaries(const fs::path& folder, bool remove = false) {
    Sizes sizes{-1, -1, -1};
    for (const auto& entry : fs::directory_iterator(folder)) {
        for (int i = 0; i < 3; ++i) {
            if (!entry.path().filename().string().starts_with(kTemporaries[i])) continue;
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
    int signal;
    int file;         // index in kOutputs of the file being written; 3: all three written; -1: by time
    double fraction;  // kill once its temporary file holds this part of the complete file
    std::chrono::microseconds delay{};  // for a kill by time, after the start
};

bool reached(const fs::path& folder, const KillPoint& point, const Outputs& fresh) {
    const Sizes sizes = temporaries(folder);
    for (int i = 0; i < 3; ++i)
        if ((point.file == 3 || point.file == i) &&
            sizes[i] < (point.file == 3 ? 1.0 : point.fraction) * static_cast<double>(fresh[i].size()))
            return false;
    return true;
}

// Starts a run and signals it at the point; the run's exit status (128 plus
// the signal when it was ended by it, 0 when it finished first).
int run_and_kill(const fs::path& folder, const KillPoint& point, const Outputs& fresh) {
    const pid_t pid = start_program(folder, {program_path("velor"), "g", "L"});
    std::this_thread::sleep_for(point.delay);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (point.file >= 0 && Clock::now() < deadline && !reached(folder, point, fresh)) {
        if (const int status = poll_program(pid); status >= 0) return status;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    ::kill(pid, point.signal);
    return wait_program(pid, std::chrono::seconds(30));
}

TEST(FaultInjection, SignalledRunsLeaveAllEarlierOrAllNewFiles) {
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

    // Signals while NAMEx.hkl and NAMEx.ins are written, once a share of
    // each is in its temporary file; once all three are complete and not
    // yet in place; then at random moments.  The four signals take turns.
    const int kSignals[] = {SIGKILL, SIGINT, SIGTERM, SIGHUP};
    std::vector<KillPoint> points;
    int turn = 0;
    for (double f : {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.99, 1.0})
        points.push_back({kSignals[turn++ % 4], 0, f});
    for (double f : {0.0, 0.3, 0.6, 0.9, 1.0}) points.push_back({kSignals[turn++ % 4], 2, f});
    for (int s : kSignals) points.push_back({s, 3, 1.0});
    std::mt19937 random(20240607);
    std::uniform_int_distribution<long> moment(0, duration.count());
    for (int i = 0; i < 32; ++i)
        points.push_back({kSignals[turn++ % 4], -1, 0.0, std::chrono::microseconds(moment(random))});
    ASSERT_GE(points.size(), 50u);

    int during_data = 0, before_renames = 0;
    for (const KillPoint& point : points) {
        SCOPED_TRACE(::testing::Message() << "signal " << point.signal << ", file " << point.file << " at "
                                          << point.fraction << ", after " << point.delay.count() << " us");
        for (int i = 0; i < 3; ++i) write_file(dir / kOutputs[i], earlier[i]);
        ASSERT_EQ(temporaries(dir.path()), (Sizes{-1, -1, -1}));
        const int status = run_and_kill(dir.path(), point, fresh);
        EXPECT_TRUE(status == 128 + point.signal || status == 0) << "status " << status;
        const int now_new = new_files(dir.path(), earlier, fresh);
        const Sizes left = temporaries(dir.path(), true);
        EXPECT_EQ(dir.names(), kAllFiles);
        if (point.signal == SIGKILL) {
            // A temporary file left is a file not yet in place, and so are
            // those after it.
            EXPECT_GE(now_new, 0) << "an output file is neither the earlier nor the new one, or out of order";
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(left[i] < 0 || now_new <= i) << i << ": " << now_new;
        } else {
            EXPECT_TRUE(now_new == 0 || now_new == 3) << now_new;
            EXPECT_EQ(left, (Sizes{-1, -1, -1})) << "a temporary file was left behind";
        }
        // On a busy machine a signal may come after the moment it was meant
        // for; enough of them must come at the moments that matter.
        const bool killed_before_renames = status != 0 && now_new == 0;
        during_data += killed_before_renames && point.file == 0 && point.fraction < 1.0;
        before_renames += killed_before_renames && (point.file == 3 || (point.file == 0 && point.fraction == 1.0));
    }
    EXPECT_GT(during_data, 0) << "no signal came while NAMEx.hkl was written";
    EXPECT_GT(before_renames, 0) << "no signal came after NAMEx.hkl was complete and before the renames";
}

// A signal sent the moment the first file of a run is renamed into place
// (seen through inotify), again and again: the renames are not cut in two,
// whichever signal it is, so the whole new set stands, and no temporary
// file is left.  The summaries make six renames of the set.
TEST(FaultInjection, SignalsDuringTheRenamesLeaveTheWholeNewSet) {
    const ScratchFolder dir("renames");
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(test_data() / "golden" / "cubic" / name, dir / name);
    const std::vector<std::string> kSet{"gx.hkl", "gx.abs", "gx.ins", "s.json", "s.cif", "s.html"};
    const std::vector<std::string> command{program_path("velor"), "--json", "s.json", "--cif", "s.cif",
                                           "--html", "s.html", "g", "C"};
    const auto set_on_disk = [&] {
        std::string set;
        for (const std::string& name : kSet) set += read_file(dir / name) + '\0';
        return set;
    };
    ASSERT_EQ(run_program(dir.path(), command).status, 0);
    const std::string fresh = set_on_disk();
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_MOVED_TO), 0);

    int signalled = 0;
    for (int i = 0; i < kRenameRuns; ++i) {
        const int signal_number = std::array{SIGINT, SIGTERM, SIGHUP}[i % 3];
        SCOPED_TRACE(::testing::Message() << "run " << i << ", signal " << signal_number);
        for (const std::string& name : kSet) write_file(dir / name, "earlier\n");
        char events[4096];
        while (::read(watch, events, sizeof events) > 0) {
        }
        const pid_t pid = start_program(dir.path(), command);
        pollfd ready{watch, POLLIN, 0};
        ASSERT_EQ(::poll(&ready, 1, 30'000), 1) << "no file was put in place";
        ::kill(pid, signal_number);
        const int status = wait_program(pid, std::chrono::seconds(30));
        EXPECT_TRUE(status == 128 + signal_number || status == 0) << "status " << status;
        signalled += status != 0;
        EXPECT_EQ(set_on_disk(), fresh) << "the renames were cut in two";
        EXPECT_EQ(dir.names().size(), 2 + kSet.size()) << "a temporary file was left behind";
    }
    ::close(watch);
    EXPECT_GT(signalled, 0) << "every run ended before its signal came";
}

}  // namespace
}  // namespace velor::testing
