// Bad input files, run as real processes.  Each case damages a copy of a
// small committed data set (golden/cubic: g.res of 75 lines with CELL on
// line 4, FVAR on 25 and END on 66; g.fcf of 95 lines with the list code on
// line 6, F(000) on 8, reflections on 35-94 and the terminator on 95), runs
// velor under a time limit beside the files of an earlier run, and checks
// the exit status, the exact error lines, what became of each earlier
// output file, and that no temporary file is left.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "robustness/child.hpp"
#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

fs::path golden() { return test_data() / "golden" / "cubic"; }

// ------------------------------------------------------------ damaging

using Edit = std::function<std::string(std::string)>;
using Damage = std::function<void(const fs::path& folder)>;

Damage edit(std::string name, Edit change) {
    return [name, change](const fs::path& d) { write_file(d / name, change(read_file(d / name))); };
}

// Offset of the start of line n (1-based) of an LF text.
std::size_t line_start(const std::string& text, int n) {
    std::size_t at = 0;
    for (int i = 1; i < n; ++i) {
        at = text.find('\n', at);
        if (at == std::string::npos) throw std::logic_error("no line " + std::to_string(n));
        ++at;
    }
    return at;
}
Edit insert_line(int n, std::string line) {
    return [n, line](std::string t) { return t.insert(line_start(t, n), line + "\n"); };
}
// The first occurrence of `from` becomes `to`; the data set must have it.
Edit swap(std::string from, std::string to) {
    return [from, to](std::string t) {
        const std::size_t at = t.find(from);
        if (at == std::string::npos) throw std::logic_error("no '" + from + "' to replace");
        return t.replace(at, from.size(), to);
    };
}

// ------------------------------------------------------------- outcomes

const char* const kOutputs[] = {"gx.hkl", "gx.ins", "gx.abs"};
const std::vector<std::string> kAllFiles{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"};

std::string earlier_text(const std::string& name) { return "earlier " + name + "\n"; }
std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

// What a case leaves of an output file: 'e' the earlier run's file as it
// was, 'g' the golden run's file byte for byte, 'c' a complete new file (hkl
// ends with its terminator record, ins with END, abs with the closing
// border), 'f' the folder that stood in its place.
void expect_left(const fs::path& folder, const std::string& name, char left) {
    SCOPED_TRACE(name);
    const std::string text = fs::is_regular_file(folder / name) ? read_file(folder / name) : "";
    switch (left) {
        case 'e': EXPECT_EQ(text, earlier_text(name)); break;
        case 'g': EXPECT_EQ(text, read_file(golden() / name)); break;
        case 'f': EXPECT_TRUE(fs::is_directory(folder / name)); break;
        default: {
            const std::string end = name == "gx.hkl"   ? "\n   0   0   0    0.00    0.00\r\n"
                                    : name == "gx.ins" ? "\n" + padded("END") + "\r\n"
                                                       : "\n +" + std::string(76, '=') + "+\r\n";
            EXPECT_TRUE(text.ends_with(end)) << text.substr(text.size() - std::min<std::size_t>(text.size(), 200));
        }
    }
}

// Line n (1-based, without its CR LF) of a written file.
std::string line_of(const fs::path& file, int n) {
    const std::string text = read_file(file);
    const std::size_t from = line_start(text, n);  // throws when there is none
    return text.substr(from, text.find("\r\n", from) - from);
}

// Runs velor in `folder` under a time limit, through `prefix` (a shell line
// that sets a limit, or a change of user) when one is given.
ProcessResult run_limited(const fs::path& folder, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> command{"-k", "5", "20"};
    command.insert(command.end(), prefix.begin(), prefix.end());
    command.push_back(program_path("velor"));
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_program(folder, "timeout", command);
}

// Copies the data set and the earlier outputs into a fresh folder.
void lay_out(const fs::path& folder) {
    fs::copy_file(golden() / "g.res", folder / "g.res");
    fs::copy_file(golden() / "g.fcf", folder / "g.fcf");
    for (const char* name : kOutputs) write_file(folder / name, earlier_text(name));
}

// ---------------------------------------------------------------- cases

struct Line {
    const char* file;
    int n;
    std::string text;
};

struct Case {
    const char* what;
    Damage damage;
    int status;
    std::string err;  // the whole of standard error
    const char* left;  // of gx.hkl, gx.ins and gx.abs, as for expect_left
    std::vector<Line> lines = {};  // records of the written files
    std::vector<std::string> arguments = {"g", "C"};
    std::vector<std::string> prefix = {};
    std::string out_end = {};  // how standard output ends
};

std::string fatal(const std::string& location, const std::string& text) {
    return "velor: fatal error, " + location + "\nvelor: " + text + "\n";
}
std::string at(const char* file, int line) { return std::string("file '") + file + "', line " + std::to_string(line); }

const std::string kLong(10000, 'x');
const std::string kOverBuffer(300000, 'x');  // longer than the 256 KiB read buffer

std::vector<Case> cases() {
    const std::string eof = "End of file", bad_int = "Bad value during integer read";
    const auto list_code = [](const std::string& code) {
        return edit("g.fcf", swap("list_code          4", "list_code          " + code));
    };
    std::string garbage;  // every byte but LF
    for (int c = 0; c < 256; ++c)
        if (c != '\n') garbage.push_back(static_cast<char>(c));
    return {
        {"empty .res", edit("g.res", [](auto) { return ""; }), 2, fatal(at("g.res", 0), eof), "eee"},
        {"empty .fcf", edit("g.fcf", [](auto) { return ""; }), 2, fatal(at("g.fcf", 0), eof), "eee"},

        // Binary garbage and NUL bytes.
        {"garbage line in the .fcf header", edit("g.fcf", insert_line(4, garbage)), 0, "", "ggg"},
        {"NUL in Fo2", edit("g.fcf", swap("94.14", std::string("9\0" ".14", 5))), 2,
         fatal(at("g.fcf", 36), "Bad value during floating point read"), "eee"},

        // Long lines: only the first 80 columns of a record count.
        {"10,000-character REM line in .res", edit("g.res", insert_line(2, "REM " + kLong)), 0, "", "gcg",
         {{"gx.ins", 2, padded("REM " + kLong.substr(0, 76))}}},
        {"line longer than the read buffer, then a bad record",
         edit("g.fcf", [](std::string t) { return insert_line(42, "oops")(insert_line(4, "#" + kOverBuffer)(t)); }),
         2, fatal(at("g.fcf", 42), bad_int), "eee"},

        // Tabs separate free-format numbers, but not fixed-column fields.
        {"tabs in CELL", edit("g.res", swap("CELL 0.71073   7.8123", "CELL\t0.71073\t7.8123")), 0, "", "gcg"},
        {"tab inside an index field", edit("g.fcf", swap("   1   1   0", "  \t1   1   0")), 2,
         fatal(at("g.fcf", 36), bad_int), "eee"},

        // CR-only line ends make the file one record.
        {"CR-only line ends in .fcf", edit("g.fcf", [](std::string t) {
             std::replace(t.begin(), t.end(), '\n', '\r');
             return t;
         }),
         2, fatal(at("g.fcf", 1), eof), "eee"},

        // Numbers too large for single precision become Infinity; a zero
        // scale makes every intensity 0.
        {"Fo2 of 1e99", edit("g.fcf", swap("94.14", " 1e99")), 0, "", "ccc",
         {{"gx.hkl", 2, "   1   1   0Infinity    0.57     1.116"},
          {"gx.abs", 23, " |  R-values before and after correction:       NaN and      NaN              |"}}},
        {"FVAR 0", edit("g.res", swap("FVAR       0.25000", "FVAR       0")), 0, "", "ccc",
         {{"gx.hkl", 1, "   2   0   0    0.00    0.00     1.154"},
          {"gx.abs", 23, " |  R-values before and after correction:       NaN and      NaN              |"}}},

        // A short record reads as if padded with blanks (a 9 without its
        // point is 0.09); a list without its terminator is a fatal end of
        // file after the last record, before anything is written.
        {"record cut inside Fo2", edit("g.fcf", swap("         94.14        10.20 o", "       9")), 0, "", "ccc",
         {{"gx.hkl", 2, "   1   1   0    0.01    0.00     1.116"}}},
        {"no terminator", edit("g.fcf", [](std::string t) { return t.substr(0, line_start(t, 95)); }), 2,
         fatal(at("g.fcf", 94), eof), "eee"},

        // Reflection list codes: anything but 4 stops the run before the
        // question of the dialogue (no fit letter, empty standard input).
        {"LIST 6", list_code("6"), 1,
         "velor: file 'g.fcf' has reflection list code 6 (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, "
         "Fo2, sigma(Fo2)) is needed\n", "eee", {}, {"g"}},
        {"list code 4.5", list_code("4.5"), 1,
         "velor: file 'g.fcf' has reflection list code 4.5 (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, "
         "Fo2, sigma(Fo2)) is needed\n", "eee", {}, {"g"}},
        {"list code 4.0", list_code("4.0"), 0, "", "ggg"},

        // Records the run needs that are not there; without END the
        // corrected data are complete and in place.
        {"no CELL line", edit("g.res", swap("CELL 0.71073   7.8123  11.2345  16.0456  90.000  90.000  90.000\n", "")),
         2, fatal(at("g.res", 74), eof), "eee"},
        {"no FVAR line", edit("g.res", swap("FVAR       0.25000   0.50000\n", "")), 2,
         fatal(at("g.res", 74), eof), "eee"},
        {"no END line", edit("g.res", swap("\nEND\n", "\n")), 2, fatal(at("g.res", 74), eof), "gee"},

        // A file that is not there, an output that cannot be put in place.
        {"no .res", [](const fs::path& d) { fs::remove(d / "g.res"); }, 1, "", "eee", {}, {"g", "C"}, {},
         " THERE IS NO SUCH FILE AS \r\n " + padded("g.res")},
        {"gx.abs is a folder",
         [](const fs::path& d) {
             fs::remove(d / "gx.abs");
             fs::create_directories(d / "gx.abs" / "inside");
         },
         2, fatal("writing file 'gx.abs'", "Cannot replace file 'gx.abs': Is a directory"), "ggf"},

        // A full disk, as a file-size limit of 2 KiB (gx.hkl is 2430 bytes,
        // standard output less than 1 KiB by then), with the default action
        // for SIGXFSZ (velor ignores it itself).
        {"size limit while writing gx.hkl", [](auto&) {}, 2,
         fatal("writing file 'gx.hkl'", "Cannot write file 'gx.hkl': File too large"), "eee", {}, {"g", "C"},
         {"bash", "-c", "ulimit -f 2; exec \"$0\" \"$@\""}},

        // A cell or wavelength that is no number greater than zero, or a
        // cell whose volume overflows, is refused before the fit.
        {"infinite cell length", edit("g.res", swap("7.8123", "1e39")), 1,
         "velor: impossible unit cell  Infinity   11.2345   16.0456    90.000    90.000    90.000: a cell length is "
         "not a number greater than zero\n", "eee"},
        {"cell volume out of range", edit("g.res", swap("7.8123", "1e38")), 1,
         "velor: impossible unit cell**********   11.2345   16.0456    90.000    90.000    90.000: its volume is out "
         "of range\n", "eee"},
        {"zero wavelength", edit("g.res", swap("CELL 0.71073", "CELL 0")), 1,
         "velor: impossible wavelength   0.00000 on the cell line: it must be a number greater than zero\n", "eee"},
    };
}

TEST(BadInput, EachCaseEndsAsExpected) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        ScratchFolder dir("bad-input");
        lay_out(dir.path());
        c.damage(dir.path());
        const std::vector<std::string> before = dir.names();
        const ProcessResult r = run_limited(dir.path(), c.arguments, c.prefix);
        EXPECT_EQ(r.status, c.status) << "(124: it hung; 128 and above: killed by a signal)\n" << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(r.out.ends_with(c.out_end)) << r.out;
        EXPECT_EQ(dir.names(), before) << "a file was left behind or lost";
        for (int i = 0; i < 3; ++i) expect_left(dir.path(), kOutputs[i], c.left[i]);
        for (const Line& line : c.lines) EXPECT_EQ(line_of(dir / line.file, line.n), line.text) << line.file;
    }
}

// Permissions do not bind root: as root, the runs are made as the user
// nobody (when setpriv can switch to it); otherwise the cases are skipped.
// velor runs on data/g, a folder of its own, so that the runner's files in
// the scratch folder stay writable.
TEST(BadInput, PermissionDenied) {
    const std::vector<std::string> nobody{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const struct {
        const char* path;  // below data/
        fs::perms perms;
        std::string err;
    } cases[] = {
        {"g.res", fs::perms::none,
         fatal("opening file 'data/g.res'", "Permission denied trying to open file 'data/g.res'")},
        {"", static_cast<fs::perms>(0555),
         fatal("writing file 'data/gx.hkl' (Permission denied)",
               "Permission denied trying to open file 'data/gx.hkl'")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        ScratchFolder dir("permissions");
        const std::vector<std::string> prefix = ::geteuid() == 0 ? nobody : std::vector<std::string>{};
        if (!prefix.empty() && run_program(dir.path(), nobody[0], {nobody[1], nobody[2], nobody[3], "true"}).status)
            GTEST_SKIP() << "running as root, and setpriv cannot switch to the user nobody";
        const fs::path data = dir / "data";
        fs::create_directory(data);
        lay_out(data);
        fs::permissions(data, fs::perms::all);  // for nobody, as root
        fs::permissions(data / c.path, c.perms);
        const ProcessResult r = run_limited(dir.path(), {"data/g", "C"}, prefix);
        fs::permissions(data, fs::perms::owner_all);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(data)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, kAllFiles);
        for (const char* name : kOutputs) EXPECT_EQ(read_file(data / name), earlier_text(name)) << name;
    }
}

// Standard output is a pipe whose reader has gone: a write error reported
// with status 2 (not a death by SIGPIPE), after a run that is complete.
TEST(BadInput, StandardOutputPipeWithoutReader) {
    ScratchFolder dir("pipe");
    lay_out(dir.path());
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const pid_t pid = start_child(dir.path(), {program_path("velor"), "g", "C"}, ends[1]);
    ::close(ends[1]);
    EXPECT_EQ(wait_child(pid, std::chrono::seconds(20)), 2);
    for (const char* name : kOutputs) EXPECT_EQ(read_file(dir / name), read_file(golden() / name)) << name;
    EXPECT_EQ(dir.names(), kAllFiles);
}

}  // namespace
}  // namespace velor::testing
