// The reflection list reader: header passed over, both record layouts,
// the ways a list ends, and the faults that stop a run.
#include <gtest/gtest.h>

#include <vector>

#include "input/reflection_reader.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"

namespace velor::input {
namespace {

using velor::testing::ScratchFolder;
using velor::testing::write_file;

constexpr const char* kHeader =
    "#\n# h,k,l, Fc-squared, Fo-squared, sigma(Fo-squared), status flag\n#\ndata_x\n"
    "_shelx_refln_list_code          4\n_exptl_crystal_F_000       400.00\n\nloop_\n"
    " _space_group_symop_operation_xyz\n 'x, y, z'\n '-x, y+1/2, -z'\n\nloop_\n _refln_index_h\n";

// The same three reflections in the current and the legacy layout.
constexpr const char* kCurrent =
    "   1   0   0        123.45        120.00         3.00 o\n"
    "  -2   3  -4      12345.67         -5.25        12.50 o\n"
    "   0   0  12          0.10          0.00         0.01 o\n";
constexpr const char* kLegacy =
    "   1   0   0      123.45      120.00      3.00 o\n"
    "  -2   3  -4    12345.67       -5.25     12.50 o\n"
    "   0   0  12        0.10        0.00      0.01 o\n";

struct ReadResult {
    std::vector<Reflection> records;
    std::string error;  // the fatal error text, if any
};

ReadResult read_all(const std::string& text) {
    ScratchFolder dir("reader");
    write_file(dir / "x.fcf", text);
    auto file = textio::InputFile::open((dir / "x.fcf").string());
    ReflectionReader reader(*file);
    ReadResult result;
    try {
        for (Reflection r = reader.first(); !r.is_terminator(); r = reader.next()) result.records.push_back(r);
    } catch (const textio::RecordError& e) {
        result.error = e.what();
    }
    return result;
}

bool same(const Reflection& a, const Reflection& b) {
    return a.h == b.h && a.k == b.k && a.l == b.l && a.fc2 == b.fc2 && a.fo2 == b.fo2 && a.sigma == b.sigma;
}

TEST(ReflectionReader, BothLayoutsDeliverTheSameRecords) {
    const std::string current_blank(48, ' ');
    const ReadResult current = read_all(std::string(kHeader) + kCurrent + current_blank + "\n");
    const ReadResult legacy = read_all(std::string(kHeader) + kLegacy + "\n");
    const ReadResult crlf = read_all(std::string(kHeader) + kLegacy + "   0   0   0\r\n");
    ASSERT_EQ(current.error, "");
    ASSERT_EQ(current.records.size(), 3u);
    EXPECT_EQ(current.records[1].h, -2);
    EXPECT_EQ(current.records[1].fc2, 12345.67f);
    EXPECT_EQ(current.records[1].fo2, -5.25f);
    EXPECT_EQ(current.records[2].sigma, 0.01f);
    for (const ReadResult* other : {&legacy, &crlf}) {
        ASSERT_EQ(other->records.size(), 3u) << other->error;
        for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(same(current.records[i], other->records[i])) << i;
    }
}

TEST(ReflectionReader, EndsOfTheList) {
    struct Case {
        const char* what;
        std::string body;
        std::size_t count;
        const char* error;
    };
    const std::string first = "   1   0   0      123.45      120.00      3.00 o\n";
    const Case cases[] = {
        {"three zero indices", first + "   0   0   0        1.00        1.00      1.00\ntrailing text\n", 1, ""},
        {"blank line", first + "\n", 1, ""},
        {"blank in columns 1-46 only", first + std::string(47, ' ') + "o\n", 1, ""},
        {"first record blank in 1-46 but not beyond", std::string(47, ' ') + "o\n" + first, 0, ""},
        {"implied decimals", "   1   0   0       12345       12000       300\n\n", 1, ""},
        {"last line without line end", first + "   0   0   0", 1, ""},
        {"no terminator", first + first, 2, "End of file"},
        {"no record at all", "", 0, "End of file"},
        {"text after the first record", first + "loop_\n", 1, "Bad value during integer read"},
        {"bad real after the first record", first + "   1   0   0      12x.45      120.00      3.00\n", 1,
         "Bad value during floating point read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = read_all(std::string(kHeader) + c.body);
        EXPECT_EQ(r.records.size(), c.count);
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(ReflectionReader, CurrentLayoutNeedsItsThreePoints) {
    // A legacy line is never taken for a current one, and a current-looking
    // line that does not read in the current layout falls back to the
    // legacy rules.
    EXPECT_TRUE(is_reflection_record("   1   0   0        123.45        120.00         3.00 o"));
    EXPECT_TRUE(is_reflection_record("   1   0   0      123.45      120.00      3.00 o"));
    EXPECT_FALSE(is_reflection_record(" _refln_index_h"));
    EXPECT_FALSE(is_reflection_record(" 'x, y, z'"));
    EXPECT_FALSE(is_reflection_record("   1,  0   0      123.45      120.00      3.00 o"));
    // Negative intensities of the current layout would break the legacy
    // reading: the minus sign stands in a legacy field's digits.
    const ReadResult r = read_all(std::string(kHeader) +
                                  "   1   0   0        123.45    -123456.00         3.00 o\n" + std::string(48, ' ') +
                                  "\n");
    ASSERT_EQ(r.records.size(), 1u) << r.error;
    EXPECT_EQ(r.records[0].fo2, -123456.0f);
}

}  // namespace
}  // namespace velor::input
