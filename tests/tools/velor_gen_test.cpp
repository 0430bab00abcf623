// Tests of velor-gen, the synthetic NAME.res + NAME.fcf generator: the
// properties other tests rely on (record columns, line ends, same seed same
// bytes, exact record counts).  That the data follow the printed scale
// model is shown by the end-to-end tests, which fit it back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "gen/generator.hpp"

namespace fs = std::filesystem;
using namespace velor::gen;

namespace {

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines without their LF (a CR before it stays part of the line).
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The leading numbers of a text (a record: h, k, l, Fc², Fo², σ).
std::vector<double> numbers(const std::string& s) {
    std::vector<double> out;
    std::istringstream in(s);
    for (double v; in >> v;) out.push_back(v);
    return out;
}

struct Generated {
    std::string res, fcf, out;
    std::vector<std::string> records;  // between the reflection loop header and the terminator
    std::vector<std::string> tail;     // the terminator and whatever follows it
};

// Runs the generator with `args` plus --out into a fresh directory; it must
// succeed.
Generated generate_files(std::vector<std::string> args) {
    const fs::path dir =
        fs::temp_directory_path() / "velor_gen_test" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    args.insert(args.end(), {"--out", (dir / "T").string()});
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out, err;
    EXPECT_EQ(run(views, out, err), 0) << err.str();
    Generated g{read_file(dir / "T.res"), read_file(dir / "T.fcf"), out.str(), {}, {}};
    fs::remove_all(dir);
    const std::vector<std::string> lines = split_lines(g.fcf);
    std::size_t i = 0;
    while (i < lines.size() && lines[i].rfind(" _refln_observed_status", 0) != 0) ++i;
    for (++i; i < lines.size() && lines[i].find_first_not_of(" \r") != std::string::npos; ++i)
        g.records.push_back(lines[i]);
    g.tail.assign(lines.begin() + static_cast<std::ptrdiff_t>(std::min(i, lines.size())), lines.end());
    return g;
}

// The whole line of the text that begins with `start`.
std::string line_of(const std::string& text, const std::string& start) {
    const std::size_t at = text.find("\n" + start) + 1;
    return at == 0 ? "(none)" : text.substr(at, text.find('\n', at) - at);
}

}  // namespace

// Each layout with one of the two line ends (as the end-to-end tests use
// them): every line of both files ends in CR LF or in LF alone.  Per case:
// the line end ("\r" before LF with --crlf), the record length without it,
// the 1-based columns of the decimal points, the terminator record, and the
// 0-based line of CELL in NAME.res.
TEST(FcfFile, RecordColumnsTerminatorAndLineEnds) {
    struct {
        std::vector<std::string> options;
        std::string cr;
        std::size_t length, points[3];
        std::string terminator;
        std::size_t cell_line;
    } cases[] = {{{"--layout", "current"}, "", 55, {24, 38, 51}, std::string(48, ' '), 3},
                 {{"--layout", "legacy", "--legacy-res", "--crlf"}, "\r", 48, {22, 34, 44}, "", 1}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.options[1]);
        c.options.insert(c.options.end(), {"--dmin", "1.0", "--noise", "1", "--negative-fraction", "0.1"});
        const Generated g = generate_files(c.options);
        ASSERT_GT(g.records.size(), 500u);
        bool has_negative = false;
        for (const std::string& r : g.records) {
            ASSERT_EQ(r.size(), c.length + c.cr.size()) << r;
            for (std::size_t p : c.points) ASSERT_EQ(r[p - 1], '.') << r;
            ASSERT_EQ(r.substr(c.length - 2), " o" + c.cr) << r;
            has_negative = has_negative || numbers(r)[4] < 0;
        }
        EXPECT_TRUE(has_negative);
        EXPECT_EQ(g.tail, std::vector<std::string>{c.terminator + c.cr});
        for (const std::string* text : {&g.fcf, &g.res}) {
            EXPECT_TRUE(text->ends_with('\n'));
            for (const std::string& line : split_lines(*text))  // no CR, or one CR as the last character
                ASSERT_EQ(line.find('\r') + 1, c.cr.empty() ? 0 : std::max<std::size_t>(line.size(), 1)) << line;
        }
        // What the program under test reads from NAME.res: the CELL line after TITL.
        const std::vector<std::string> res = split_lines(g.res);
        EXPECT_EQ(res[0].substr(0, 5), "TITL ");
        EXPECT_EQ(res[c.cell_line], "CELL 0.71073  10.5321  12.3456  15.7012  90.000 101.234  90.000" + c.cr);
    }
}

TEST(FcfFile, SameSeedSameBytes) {
    auto with_seed = [](const std::string& seed) {
        return generate_files({"--dmin", "1.2", "--noise", "1", "--weak-fraction", "0.05", "--negative-fraction",
                               "0.02", "--extinction", "0.01", "--print-model", "--seed", seed});
    };
    const Generated a = with_seed("7"), b = with_seed("7"), c = with_seed("8");
    EXPECT_EQ(a.fcf, b.fcf);
    EXPECT_EQ(a.res, b.res);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.fcf, c.fcf);
    EXPECT_NE(a.out, c.out);  // the model seed follows --seed unless given

    // The generator uses its own random numbers and elementary functions, so
    // these lines are the same on every platform; a deliberate change of the
    // intensity or scale model changes them.
    const Generated g =
        generate_files({"--dmin", "3", "--seed", "11", "--noise", "1", "--print-model", "--osf", "0.12345"});
    ASSERT_EQ(g.records.size(), 76u);
    EXPECT_EQ(g.records[0], "   1   0   0       5321.67       6568.24        81.60 o");
    EXPECT_EQ(g.records[2], "   3   0   0       4710.37       5768.78        76.39 o");
    EXPECT_EQ(g.out.substr(0, g.out.find('\n')), "-1.4008685087027046");
    // F(000): the data name fills columns 1-20, the value follows from column 21.
    EXPECT_EQ(line_of(g.fcf, "_exptl_crystal_F_000"), "_exptl_crystal_F_000       448.00");
    EXPECT_EQ(line_of(g.res, "FVAR"), "FVAR       0.12345   0.50000");  // OSF, as the program under test reads it
}

TEST(FcfFile, AxialOnlyEmptyAndExactCounts) {
    const Generated axial = generate_files({"--axial-only", "--reflections", "1000", "--f000", "1234.5"});
    ASSERT_EQ(axial.records.size(), 1000u);
    for (const std::string& r : axial.records) {
        const std::vector<double> v = numbers(r);
        ASSERT_EQ((v[0] == 0) + (v[1] == 0) + (v[2] == 0), 2) << r;
    }
    EXPECT_EQ(line_of(axial.fcf, "_exptl_crystal_F_000"), "_exptl_crystal_F_000      1234.50");
    const Generated empty = generate_files({"--empty"});
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.tail, std::vector<std::string>{std::string(48, ' ')});
    EXPECT_NE(empty.res.find(" for all 0 data\n"), std::string::npos);
    // 5000 fit into the resolution sphere; 200000 need symmetry-equivalent repeats.
    for (const std::string n : {"5000", "200000"}) {
        const Generated g = generate_files({"--reflections", n});
        EXPECT_EQ(std::to_string(g.records.size()), n);
        EXPECT_NE(g.res.find(" for all " + n + " data\n"), std::string::npos);
    }
}

