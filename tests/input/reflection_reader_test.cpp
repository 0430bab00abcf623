// The reflection list, read as the passes read it: on a second thread, in
// batches of 16,384.  The ways a list ends, the faults that stop a run,
// batch boundaries, and a pass that stops early.  The golden runs read both
// record layouts.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>
#include <vector>

#include "input/reflection_stream.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"

namespace velor::input {
namespace {

using velor::testing::ScratchFolder;

constexpr const char* kHeader =
    "#\n# h,k,l, Fc-squared, Fo-squared, sigma(Fo-squared), status flag\n#\ndata_x\n"
    "_shelx_refln_list_code          4\n_exptl_crystal_F_000       400.00\n\nloop_\n"
    " _space_group_symop_operation_xyz\n 'x, y, z'\n '-x, y+1/2, -z'\n\nloop_\n _refln_index_h\n";

// The header and `text` as a file, opened.
std::unique_ptr<textio::InputFile> open_list(const ScratchFolder& dir, const std::string& text) {
    velor::testing::write_file(dir / "x.fcf", kHeader + text);
    return textio::InputFile::open((dir / "x.fcf").string());
}

// `count` records in the legacy layout (3I4, 2F12.2, F10.2), record n with
// Fc² = n, the one numbered `bad` unreadable, then the terminator.
std::string numbered(int count, int bad = 0) {
    std::string text;
    char line[64];
    for (int n = 1; n <= count; ++n) {
        std::snprintf(line, sizeof line, "%4d%4d%4d%12.2f%12s%10.2f\n", 1, n % 7, 0, double(n),
                      n == bad ? "12x.45" : "120.00", 3.0);
        text += line;
    }
    return text + "   0   0   0\n";
}

TEST(ReflectionStream, RecordsInOrderThenTheEndOrAnError) {
    const std::string first = "   1   0   0      123.45      120.00      3.00 o\n";
    const std::string bad_real = "Bad value during floating point read";
    const struct {
        const char* what;
        std::string body;
        std::size_t count;
        std::string error;
        bool numbered = false;  // record n has Fc² = n
    } cases[] = {
        {"three zero indices", first + "   0   0   0        1.00        1.00      1.00\ntrailing text\n", 1, ""},
        {"blank line", first + "\n", 1, ""},
        {"blank in columns 1-46 only", first + std::string(47, ' ') + "o\n", 1, ""},
        {"first record blank in 1-46 but not beyond", std::string(47, ' ') + "o\n" + first, 0, ""},
        {"implied decimals", "   1   0   0       12345       12000       300\n\n", 1, ""},
        {"last line without line end", first + "   0   0   0", 1, ""},
        {"no record at all", "", 0, "End of file"},
        {"text after the first record", first + "loop_\n", 1, "Bad value during integer read"},
        // A negative Fo² of the current layout: its minus sign stands in a
        // legacy field's digits, so the current layout must be chosen.
        {"current layout, large negative Fo2",
         "   1   0   0        123.45    -123456.00         3.00 o\n" + std::string(48, ' ') + "\n", 1, ""},
        // Batch boundaries, and more batches than the stream holds at once.
        {"no record before the terminator", numbered(0), 0, "", true},
        {"one batch", numbered(16384), 16384, "", true},
        {"one batch and a record", numbered(16385), 16385, "", true},
        {"five batches and a record", numbered(5 * 16384 + 1), 5 * 16384 + 1, "", true},
        // An unreadable record (after the first, which the header search
        // would pass over) comes after every record before it.
        {"error in the first record after the first", numbered(50, 2), 1, bad_real, true},
        {"error at the end of a batch", numbered(20000, 16384), 16383, bad_real, true},
        {"error in a later batch", numbered(50000, 40000), 39999, bad_real, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchFolder dir("stream");
        ReflectionStream stream(open_list(dir, c.body));
        std::vector<core::Reflection> records;
        std::string error;
        try {
            for (core::Reflection r; stream.next(r);) records.push_back(r);
        } catch (const textio::RecordError& e) {
            error = e.what();
        }
        EXPECT_EQ(records.size(), c.count);
        EXPECT_EQ(error, c.error);
        for (std::size_t n = 0; c.numbered && n < records.size(); ++n)
            ASSERT_EQ(records[n].fc2, static_cast<float>(n + 1)) << n;
    }
    EXPECT_FALSE(is_reflection_record("   1,  0   0      123.45      120.00      3.00 o"));
    EXPECT_FALSE(is_reflection_record(" 'x, y, z'"));
}

// A pass that stops early destroys the stream while it reads ahead, or
// (given the time to fill every batch) while it waits for a free one, or
// after it has read to the end.
TEST(ReflectionStream, ConsumerStoppingEarly) {
    const ScratchFolder dir("stream");
    velor::testing::write_file(dir / "x.fcf", kHeader + numbered(100000));
    for (const int taken : {1, 0, 16384, 50000}) {
        ReflectionStream stream(textio::InputFile::open((dir / "x.fcf").string()));
        core::Reflection r;
        for (int n = 0; n < taken; ++n) ASSERT_TRUE(stream.next(r));
        if (taken != 1) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

// Three zero indices end the list; the magnitudes are summed in 32 bits.
TEST(ReflectionReader, Terminator) {
    const struct {
        std::int32_t h, k, l;
        bool ends;
    } cases[] = {{0, 0, 0, true},          {1, 0, 0, false},           {0, 0, -1, false},
                 {-1, 1, 0, false},        {INT_MIN, 0, 0, false},     {INT_MIN, INT_MIN, 0, true},
                 {INT_MAX, 1, 0, false},   {1 << 30, 1 << 30, INT_MIN, true}};
    for (const auto& c : cases) EXPECT_EQ((core::Reflection{c.h, c.k, c.l}.is_terminator()), c.ends) << c.h << " " << c.k;
}

}  // namespace
}  // namespace velor::input
