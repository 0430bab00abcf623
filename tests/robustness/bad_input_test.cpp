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
#include <cstring>
#include <functional>
#include <optional>
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

Damage res(Edit edit) {
    return [edit](const fs::path& d) { write_file(d / "g.res", edit(read_file(d / "g.res"))); };
}
Damage fcf(Edit edit) {
    return [edit](const fs::path& d) { write_file(d / "g.fcf", edit(read_file(d / "g.fcf"))); };
}
Damage both(Damage a, Damage b) {
    return [a, b](const fs::path& d) {
        a(d);
        b(d);
    };
}
Damage remove_file(const std::string& name) {
    return [name](const fs::path& d) { fs::remove(d / name); };
}
Damage folder_instead_of(const std::string& name) {
    return [name](const fs::path& d) {
        fs::remove(d / name);
        fs::create_directories(d / name / "inside");
    };
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
Edit replace_line(int n, std::string line) {
    return [n, line](std::string t) {
        const std::size_t from = line_start(t, n);
        return t.replace(from, t.find('\n', from) - from, line);
    };
}
Edit insert_line(int n, std::string line) {
    return [n, line](std::string t) { return t.insert(line_start(t, n), line + "\n"); };
}
Edit keep_lines(int count) {
    return [count](std::string t) { return t.substr(0, line_start(t, count + 1)); };
}
// The first occurrence of `from` becomes `to`; the data set must have it.
Edit swap(std::string from, std::string to) {
    return [from, to](std::string t) {
        const std::size_t at = t.find(from);
        if (at == std::string::npos) throw std::logic_error("no '" + from + "' to replace");
        return t.replace(at, from.size(), to);
    };
}
Edit drop_lines_starting(std::string prefix) {
    return [prefix](std::string t) {
        std::string kept;
        for (std::size_t at = 0, end; at < t.size(); at = end + 1) {
            end = t.find('\n', at);
            if (end == std::string::npos) end = t.size();
            if (t.compare(at, prefix.size(), prefix) != 0) kept.append(t, at, end + 1 - at);
        }
        return kept;
    };
}
Edit line_ends(char end) {
    return [end](std::string t) {
        for (char& c : t)
            if (c == '\n') c = end;
        return t;
    };
}
Edit chain(Edit a, Edit b) {
    return [a, b](std::string t) { return b(a(std::move(t))); };
}
// Records 35-94 (the reflections) repeated until the list is long enough
// for a corrected file of about 100 kB.
Edit repeat_reflections(int times) {
    return [times](std::string t) {
        const std::size_t from = line_start(t, 35), to = line_start(t, 95);
        const std::string block = t.substr(from, to - from);
        for (int i = 1; i < times; ++i) t.insert(to, block);
        return t;
    };
}

// A record of the current layout, (3I4, 2F14.2, F13.2) and the status flag.
std::string reflection(const char* hkl, const char* fc2, const char* fo2, const char* sigma) {
    const auto right = [](const char* s, std::size_t w) { return std::string(w - std::strlen(s), ' ') + s; };
    return std::string(hkl) + right(fc2, 14) + right(fo2, 14) + right(sigma, 13) + " o";
}

std::string binary_garbage() {
    std::string s;
    for (int c = 0; c < 256; ++c)
        if (c != '\n') s.push_back(static_cast<char>(c));
    return s;
}

// ------------------------------------------------------------- outcomes

// What a case leaves of each output file: the earlier run's file as it
// was, the golden run's file byte for byte, a complete new file (hkl ends
// with its terminator record, ins with END, abs with the closing border),
// or the folder that stood in its place.
enum class Left { Earlier, Golden, Complete, Folder };
struct Outputs {
    Left hkl, ins, abs;
};
constexpr Outputs kKept{Left::Earlier, Left::Earlier, Left::Earlier};
constexpr Outputs kAsGolden{Left::Golden, Left::Golden, Left::Golden};
constexpr Outputs kInsFromRes{Left::Golden, Left::Complete, Left::Golden};  // a .res change reaches only the ins
constexpr Outputs kHklOnly{Left::Golden, Left::Earlier, Left::Earlier};
constexpr Outputs kAllNew{Left::Complete, Left::Complete, Left::Complete};

const char* const kOutputs[] = {"gx.hkl", "gx.ins", "gx.abs"};

std::string earlier_text(const std::string& name) { return "earlier " + name + "\n"; }

bool ends_with(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

void expect_left(const fs::path& folder, const std::string& name, Left left) {
    SCOPED_TRACE(name);
    const std::string text = fs::is_regular_file(folder / name) ? read_file(folder / name) : "";
    switch (left) {
        case Left::Earlier: EXPECT_EQ(text, earlier_text(name)); break;
        case Left::Golden: EXPECT_EQ(text, read_file(golden() / name)); break;
        case Left::Folder: EXPECT_TRUE(fs::is_directory(folder / name)); break;
        case Left::Complete: {
            const std::string end = name == "gx.hkl"   ? "\n   0   0   0    0.00    0.00\r\n"
                                    : name == "gx.ins" ? "\n" + padded("END") + "\r\n"
                                                       : "\n +" + std::string(76, '=') + "+\r\n";
            EXPECT_TRUE(ends_with(text, end)) << text.substr(text.size() > 200 ? text.size() - 200 : 0);
            break;
        }
    }
}

// Line n (1-based, without its CR LF) of a written file.
std::string line_of(const fs::path& file, int n) {
    const std::string text = read_file(file);
    try {
        const std::size_t from = line_start(text, n);
        return text.substr(from, text.find("\r\n", from) - from);
    } catch (const std::logic_error&) {
        return "(no line " + std::to_string(n) + ")";
    }
}

struct Line {
    const char* file;
    int n;
    std::string text;
};

// Runs velor in `folder` under `timeout`, through `prefix` (a shell line
// that sets a limit, or a change of user) when one is given.
ProcessResult run_limited(const fs::path& folder, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> command{"-k", "5", "20"};
    command.insert(command.end(), prefix.begin(), prefix.end());
    command.push_back(program_path("velor"));
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run_program(folder, "timeout", command);
}

// A shell that sets a file-size limit of `kib` KiB and then runs velor;
// `ignore_signal` says whether the shell sets SIGXFSZ to be ignored first.
std::vector<std::string> file_size_limit(int kib, bool ignore_signal) {
    return {"bash", "-c",
            std::string(ignore_signal ? "trap '' XFSZ; " : "") + "ulimit -f " + std::to_string(kib) +
                "; exec \"$0\" \"$@\""};
}

// ---------------------------------------------------------------- cases

struct Case {
    const char* what;
    Damage damage;
    int status;
    std::string err;  // the whole of standard error
    Outputs outputs;
    std::vector<Line> lines = {};  // records of the written files
    std::vector<std::string> arguments = {"g", "C"};
    std::vector<std::string> prefix = {};
    std::string out_end = {};  // how standard output ends
};

std::string fatal(const std::string& location, const std::string& text) {
    return "velor: fatal error, " + location + "\nvelor: " + text + "\n";
}
std::string at(const char* file, int line) { return std::string("file '") + file + "', line " + std::to_string(line); }
std::string list_code_stop(const char* code) {
    return std::string("velor: file 'g.fcf' has reflection list code ") + code +
           " (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, Fo2, sigma(Fo2)) is needed\n";
}

const std::string kLong(10000, 'x');

std::vector<Case> cases() {
    const std::string eof = "End of file", bad_int = "Bad value during integer read",
                      bad_real = "Bad value during floating point read";
    return {
        // Empty files.
        {"empty .res", res([](auto) { return ""; }), 2, fatal(at("g.res", 0), eof), kKept},
        {"empty .fcf", fcf([](auto) { return ""; }), 2, fatal(at("g.fcf", 0), eof), kKept},
        {"both empty", both(res([](auto) { return ""; }), fcf([](auto) { return ""; })), 2,
         fatal(at("g.res", 0), eof), kKept},

        // Binary garbage and NUL bytes.
        {"garbage line before TITL", res(insert_line(1, binary_garbage())), 0, "", kInsFromRes},
        {"NUL inside a CELL number", res(swap("7.8123", std::string("7.\0" "123", 6))), 2,
         fatal(at("g.res", 4), "Bad real number in item 2 of list input"), kKept},
        {"garbage line in the .fcf header", fcf(insert_line(4, binary_garbage())), 0, "", kAsGolden},
        {"NUL in an index", fcf(swap("   1   1   0", std::string("  \0" "1   1   0", 12))), 2,
         fatal(at("g.fcf", 36), bad_int), kKept},
        {"NUL in Fo2", fcf(swap("94.14", std::string("9\0" ".14", 5))), 2, fatal(at("g.fcf", 36), bad_real), kKept},
        {"garbage line among the records", fcf(insert_line(41, binary_garbage())), 2, fatal(at("g.fcf", 41), bad_int),
         kKept},
        {"NULs after the status flag", fcf(swap("10.20 o", std::string("10.20 o\0\0\0", 10))), 0, "", kAsGolden},

        // Long lines: only the first 80 columns of a record count.
        {"10,000-character REM line in .res", res(insert_line(2, "REM " + kLong)), 0, "", kInsFromRes,
         {{"gx.ins", 2, padded("REM " + kLong.substr(0, 76))}}},
        {"10,000-character line in the .fcf header", fcf(insert_line(4, "#" + kLong)), 0, "", kAsGolden},
        {"10,000 characters after a record", fcf(swap("10.20 o", "10.20 o" + kLong)), 0, "", kAsGolden},
        {"10,000-character line among the records", fcf(insert_line(41, kLong)), 2, fatal(at("g.fcf", 41), bad_int),
         kKept},
        {"line longer than the read buffer, then a bad record",
         fcf(chain(insert_line(4, "#" + std::string(300000, 'x')), insert_line(42, "oops"))), 2,
         fatal(at("g.fcf", 42), bad_int), kKept},

        // Tabs separate free-format numbers, but not fixed-column fields.
        {"tabs in the CELL record", res(swap("CELL 0.71073   7.8123", "CELL\t0.71073\t7.8123")), 0, "", kInsFromRes},
        {"tab after FVAR", res(swap("FVAR       0.25", "FVAR\t0.25")), 0, "", kInsFromRes},
        {"tabs in the list-code and F(000) records",
         fcf(chain(swap("_shelx_refln_list_code          4", "_shelx_refln_list_code\t4"),
                   swap("_exptl_crystal_F_000       448", "_exptl_crystal_F_000\t448"))),
         0, "", kAsGolden},
        {"tab inside an index field", fcf(swap("   1   1   0", "  \t1   1   0")), 2, fatal(at("g.fcf", 36), bad_int),
         kKept},

        // CR-only line ends make each file one record.
        {"CR-only line ends in .res", res(line_ends('\r')), 2, fatal(at("g.res", 1), eof), kKept},
        {"CR-only line ends in .fcf", fcf(line_ends('\r')), 2, fatal(at("g.fcf", 1), eof), kKept},

        // Numbers too large for single precision become Infinity, and a
        // value too wide for its field is written as asterisks.
        {"Fo2 of 1e99", fcf(replace_line(36, reflection("   1   1   0", "84.37", "1e99", "10.20"))), 0, "", kAllNew,
         {{"gx.hkl", 2, "   1   1   0Infinity    0.57     1.116"},
          {"gx.abs", 23, " |  R-values before and after correction:       NaN and      NaN              |"}}},
        {"Fo2 of 1e38", fcf(replace_line(36, reflection("   1   1   0", "84.37", "1e38", "10.20"))), 0, "", kAllNew,
         {{"gx.hkl", 2, "   1   1   0********    0.57     1.116"}}},
        {"sigma with exponent 9999", fcf(replace_line(36, reflection("   1   1   0", "84.37", "94.14", "1.0e+9999"))),
         0, "", kAllNew, {{"gx.hkl", 2, "   1   1   0    5.27Infinity     1.116"}}},
        {"Fc2 of 1e99", fcf(replace_line(36, reflection("   1   1   0", "1e99", "94.14", "10.20"))), 0, "", kAllNew,
         {{"gx.abs", 23, " |  R-values before and after correction:  Infinity and Infinity              |"}}},
        {"FVAR 0: no scale, every intensity 0", res(swap("FVAR       0.25000", "FVAR       0")), 0, "", kAllNew,
         {{"gx.hkl", 1, "   2   0   0    0.00    0.00     1.154"},
          {"gx.abs", 23, " |  R-values before and after correction:       NaN and      NaN              |"}}},
        {"FVAR 1e38: intensities too wide", res(swap("FVAR       0.25000", "FVAR       1e38")), 0, "", kAllNew,
         {{"gx.hkl", 1, "   2   0   0****************     1.154"}}},
        {"FVAR Infinity", res(swap("FVAR       0.25000", "FVAR       Inf")), 0, "", kAllNew,
         {{"gx.hkl", 1, "   2   0   0InfinityInfinity     1.154"}}},

        // Truncated records and files.  A short record reads as if padded
        // with blanks (a 9 without its point is 0.09); a list without its
        // terminator is a fatal end of file after the last record, before
        // anything is written.
        {"record cut inside Fo2", fcf(replace_line(36, "   1   1   0         84.37       9")), 0, "", kAllNew,
         {{"gx.hkl", 2, "   1   1   0    0.01    0.00     1.116"}}},
        {"no terminator", fcf(keep_lines(94)), 2, fatal(at("g.fcf", 94), eof), kKept},
        {"no terminator, last record without line end",
         fcf([](std::string t) { return t.substr(0, line_start(t, 95) - 1); }), 2,
         fatal(at("g.fcf", 94), eof), kKept},
        {"file cut inside the last record", fcf([](std::string t) { return t.substr(0, line_start(t, 94) + 20); }), 2,
         fatal(at("g.fcf", 94), eof), kKept},
        {"header and blank terminator only: the blank line counts as header",
         fcf([](std::string t) { return t.substr(0, line_start(t, 35)) + t.substr(line_start(t, 95)); }), 2,
         fatal(at("g.fcf", 35), eof), kKept},
        {"header and a 0 0 0 terminator only",
         fcf([](std::string t) { return t.substr(0, line_start(t, 35)) + "   0   0   0\n"; }), 1,
         "velor: the normal equations are singular: 0 reflections passed the screening, too few to determine the 24 "
         "parameters of this fit. Use a fit type with fewer parameters, or check the data.\n",
         kKept},

        // Reflection list codes: anything but 4 stops the run before the
        // question of the dialogue (no fit letter, empty standard input).
        {"LIST 6", fcf(swap("list_code          4", "list_code          6")), 1, list_code_stop("6"), kKept, {}, {"g"}},
        {"LIST 3", fcf(swap("list_code          4", "list_code          3")), 1, list_code_stop("3"), kKept, {}, {"g"}},
        {"LIST 8", fcf(swap("list_code          4", "list_code          8")), 1, list_code_stop("8"), kKept, {}, {"g"}},
        {"list code 40", fcf(swap("list_code          4", "list_code          40")), 1, list_code_stop("40"), kKept,
         {}, {"g"}},
        {"list code 4.5", fcf(swap("list_code          4", "list_code          4.5")), 1, list_code_stop("4.5"),
         kKept, {}, {"g"}},
        {"list code -4", fcf(swap("list_code          4", "list_code          -4")), 1, list_code_stop("-4"), kKept,
         {}, {"g"}},
        {"list code not a number", fcf(swap("list_code          4", "list_code          x")), 2,
         fatal(at("g.fcf", 6), "Bad real number in item 1 of list input"), kKept, {}, {"g"}},
        {"list code 4.0", fcf(swap("list_code          4", "list_code          4.0")), 0, "", kAsGolden},

        // Records the run needs that are not there.
        {".res without CELL", res(drop_lines_starting("CELL")), 2, fatal(at("g.res", 74), eof), kKept},
        {".res without FVAR", res(drop_lines_starting("FVAR")), 2, fatal(at("g.res", 74), eof), kKept},
        {".res without TITL", res(drop_lines_starting("TITL")), 2, fatal(at("g.res", 74), eof), kKept},
        {".res without END: the corrected data are complete", res(drop_lines_starting("END")), 2,
         fatal(at("g.res", 74), eof), kHklOnly},
        {".fcf without F(000)", fcf(drop_lines_starting("_exptl_crystal_F_000")), 2, fatal(at("g.fcf", 94), eof),
         kKept},

        // Files that are not there, or not files.
        {"no .res", remove_file("g.res"), 1, "", kKept, {}, {"g", "C"}, {},
         " THERE IS NO SUCH FILE AS \r\n " + padded("g.res")},
        {"no .fcf", remove_file("g.fcf"), 1, "", kKept, {}, {"g", "C"}, {},
         " THERE IS NO SUCH FILE AS \r\n " + padded("g.fcf")},
        {".res is a folder", folder_instead_of("g.res"), 2,
         fatal(at("g.res", 0), "Cannot read file 'g.res': Is a directory"), kKept},
        {"gx.hkl is a folder", folder_instead_of("gx.hkl"), 2,
         fatal("writing file 'gx.hkl'", "Cannot replace file 'gx.hkl': Is a directory"),
         {Left::Folder, Left::Earlier, Left::Earlier}},
        {"gx.abs is a folder", folder_instead_of("gx.abs"), 2,
         fatal("writing file 'gx.abs'", "Cannot replace file 'gx.abs': Is a directory"),
         {Left::Golden, Left::Golden, Left::Folder}},

        // A full disk, as a file-size limit: with SIGXFSZ ignored by the
        // shell, and with its default action (velor ignores it itself).
        {"size limit while writing gx.hkl", fcf(repeat_reflections(40)), 2,
         fatal("writing file 'gx.hkl'", "Cannot write file 'gx.hkl': File too large"), kKept, {}, {"g", "C"},
         file_size_limit(8, true)},
        {"size limit while writing gx.hkl, SIGXFSZ not ignored", fcf(repeat_reflections(40)), 2,
         fatal("writing file 'gx.hkl'", "Cannot write file 'gx.hkl': File too large"), kKept, {}, {"g", "C"},
         file_size_limit(8, false)},
        {"size limit while writing gx.ins", [](auto) {}, 2,
         fatal("writing file 'gx.ins'", "Cannot write file 'gx.ins': File too large"), kHklOnly, {}, {"g", "C"},
         file_size_limit(4, true)},
    };
}

const std::vector<std::string> kAllFiles{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"};

std::vector<std::string> names_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Copies the data set and the earlier outputs into a fresh folder.
void lay_out(const fs::path& folder) {
    fs::copy_file(golden() / "g.res", folder / "g.res");
    fs::copy_file(golden() / "g.fcf", folder / "g.fcf");
    for (const char* name : kOutputs) write_file(folder / name, earlier_text(name));
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
        if (!c.out_end.empty()) {
            EXPECT_TRUE(ends_with(r.out, c.out_end)) << r.out;
        }
        EXPECT_EQ(dir.names(), before) << "a file was left behind or lost";
        expect_left(dir.path(), "gx.hkl", c.outputs.hkl);
        expect_left(dir.path(), "gx.ins", c.outputs.ins);
        expect_left(dir.path(), "gx.abs", c.outputs.abs);
        for (const Line& line : c.lines) EXPECT_EQ(line_of(dir / line.file, line.n), line.text) << line.file;
    }
}

// ----------------------------------------------------------- permissions

// Permissions do not bind root.  As root, the runs are made as the user
// nobody (when setpriv can switch to it); otherwise the cases are skipped.
std::optional<std::vector<std::string>> unprivileged_prefix(const fs::path& folder) {
    if (::geteuid() != 0) return std::vector<std::string>{};
    const std::vector<std::string> prefix{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    std::vector<std::string> probe{"-k", "5", "20"};
    probe.insert(probe.end(), prefix.begin(), prefix.end());
    probe.push_back("true");
    if (run_program(folder, "timeout", probe).status != 0) return std::nullopt;
    return prefix;
}

TEST(BadInput, PermissionDenied) {
    struct Permissions {
        const char* what;
        const char* path;  // below data/
        fs::perms perms;
        std::string err;
    };
    const Permissions cases[] = {
        {"unreadable .res", "g.res", fs::perms::none,
         fatal("opening file 'data/g.res'", "Permission denied trying to open file 'data/g.res'")},
        {"unreadable .fcf", "g.fcf", fs::perms::none,
         fatal("opening file 'data/g.fcf'", "Permission denied trying to open file 'data/g.fcf'")},
        {"folder without write permission", "", fs::perms::owner_read | fs::perms::owner_exec |
                                                    fs::perms::group_read | fs::perms::group_exec |
                                                    fs::perms::others_read | fs::perms::others_exec,
         fatal("writing file 'data/gx.hkl' (Permission denied)",
               "Permission denied trying to open file 'data/gx.hkl'")},
    };
    for (const Permissions& c : cases) {
        SCOPED_TRACE(c.what);
        // velor runs in the scratch folder on data/g: a folder of its own
        // for the files, so that the runner's files stay writable.
        ScratchFolder dir("permissions");
        const auto prefix = unprivileged_prefix(dir.path());
        if (!prefix) GTEST_SKIP() << "running as root, and setpriv cannot switch to the user nobody";
        const fs::path data = dir / "data";
        fs::create_directory(data);
        lay_out(data);
        fs::permissions(data, fs::perms::all);  // for nobody, as root
        fs::permissions(data / c.path, c.perms);
        const ProcessResult r = run_limited(dir.path(), {"data/g", "C"}, *prefix);
        fs::permissions(data, fs::perms::owner_all);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(names_in(data), kAllFiles);
        for (const char* name : kOutputs) EXPECT_EQ(read_file(data / name), earlier_text(name)) << name;
    }
}

// --------------------------------------------------------- closed output

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

// ----------------------------------------------------------- known fault

// An infinite or zero wavelength or cell length is no cell at all, but the
// run goes on to a fit in which no reflection passes the screening and
// blames the normal equations.  Enable when the reciprocal-cell step
// refuses such values as an impossible cell.
TEST(BadInput, InfiniteOrZeroCellIsRefused) {
    const char* const cells[] = {
        "CELL 0.71073   1e39  11.2345  16.0456  90.000  90.000  90.000",
        "CELL 0.71073   1e38  11.2345  16.0456  90.000  90.000  90.000",
        "CELL Inf   7.8123  11.2345  16.0456  90.000  90.000  90.000",
        "CELL 0   7.8123  11.2345  16.0456  90.000  90.000  90.000",
    };
    for (const char* cell : cells) {
        SCOPED_TRACE(cell);
        ScratchFolder dir("cell");
        lay_out(dir.path());
        res(replace_line(4, cell))(dir.path());
        const ProcessResult r = run_limited(dir.path(), {"g", "C"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.find("the normal equations are singular"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("velor: impossible ", 0), 0u) << r.err;
    }
}

}  // namespace
}  // namespace velor::testing
