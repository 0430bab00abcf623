// Bad input, run as real processes.  Each case damages a copy of a small
// committed data set (golden/cubic: g.res of 75 lines with CELL on line 4,
// FVAR on 25 and END on 66; g.fcf of 95 lines with the list code on line 6,
// F(000) on 8, reflections on 35-94 and the terminator on 95), runs velor
// beside the files of an earlier run, and checks the exit status, the exact
// error lines, what became of each earlier output file, and that no
// temporary file is left.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <tuple>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

fs::path golden() { return test_data() / "golden" / "cubic"; }

using Edit = std::function<std::string(std::string)>;
using Damage = std::function<void(const fs::path& folder)>;

Damage edit(std::string name, Edit change) {
    return [name, change](const fs::path& d) { write_file(d / name, change(read_file(d / name))); };
}
// File `name` replaced by what `make` puts in its place.
Damage replace(std::string name, std::function<void(const fs::path&)> make) {
    return [name, make](const fs::path& d) { fs::remove(d / name), make(d / name); };
}
// Offset of the start of line n (1-based) of an LF text.
std::size_t line_start(const std::string& text, int n) {
    std::size_t at = 0;
    for (int i = 1; i < n; ++i)
        if ((at = text.find('\n', at) + 1) == 0) throw std::logic_error("no line " + std::to_string(n));
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

const char* const kOutputs[] = {"gx.hkl", "gx.ins", "gx.abs"};
std::string earlier_text(const std::string& name) { return "earlier " + name + "\n"; }
std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

// What a case leaves of an output file: 'e' the earlier run's file as it
// was, 'g' the golden run's file byte for byte, 'c' a complete new file (hkl
// ends with its terminator record, ins with END in any case, abs with the
// closing border), 'f' the folder that stood in its place, 'n' none.
void expect_left(const fs::path& folder, const std::string& name, char left) {
    SCOPED_TRACE(name);
    const std::string text = fs::is_regular_file(folder / name) ? read_file(folder / name) : "";
    std::string last = text.substr(text.size() - std::min<std::size_t>(text.size(), 200));
    std::transform(last.begin(), last.end(), last.begin(), ::toupper);
    const std::string end = name == "gx.hkl"   ? "\n   0   0   0    0.00    0.00\r\n"
                            : name == "gx.ins" ? "\n" + padded("END") + "\r\n"
                                               : "\n +" + std::string(76, '=') + "+\r\n";
    switch (left) {
        case 'e': EXPECT_EQ(text, earlier_text(name)); break;
        case 'g': EXPECT_EQ(text, read_file(golden() / name)); break;
        case 'f': EXPECT_TRUE(fs::is_directory(folder / name)); break;
        case 'n': EXPECT_FALSE(fs::exists(folder / name)); break;
        default: EXPECT_TRUE(last.ends_with(end)) << last;
    }
}

// The text of a regular file (and nothing of a FIFO, which would wait).
std::string regular_text(const fs::path& file) { return fs::is_regular_file(file) ? read_file(file) : "-"; }

// Line n (1-based, without its CR LF) of a written file.
std::string line_of(const fs::path& file, int n) {
    const std::string text = read_file(file);
    const std::size_t from = line_start(text, n);
    return text.substr(from, text.find("\r\n", from) - from);
}

struct Case {
    const char* what;
    Damage damage;
    int status;
    std::string err;  // the whole of standard error
    const char* left;  // of gx.hkl, gx.ins and gx.abs, as for expect_left
    std::vector<std::tuple<const char*, int, std::string>> lines = {};  // file, line number, text
    std::vector<std::string> arguments = {"g", "C"};
    std::vector<std::string> prefix = {};  // a shell line that sets a limit, or a change of user
    std::string out_end = {};  // how standard output ends
    std::string input = {};    // standard input
};

// Permissions do not bind root: as root, these runs are made as the user
// nobody (when setpriv can switch to it).
const std::vector<std::string> kNobody{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

std::string fatal(const std::string& location, const std::string& text) {
    return "velor: fatal error, " + location + "\nvelor: " + text + "\n";
}
std::string at(const char* file, int line, const std::string& keyword = "") {
    return std::string("file '") + file + "', line " + std::to_string(line) +
           (keyword.empty() ? "" : ", looking for " + keyword);
}
std::string few(int n) {
    return "velor: warning: only " + std::to_string(n) + " reflections passed the screening for the 24 parameters "
           "of the fit, fewer than ten per parameter: the correction is poorly determined\n";
}
const std::string kFew = few(55);  // the warning of every complete run on this small data set
std::string list_code(const std::string& code) {
    return "velor: file 'g.fcf' has reflection list code " + code + " (_shelx_refln_list_code); a LIST 4 file (h, "
           "k, l, Fc2, Fo2, sigma(Fo2)) is needed: set LIST 4 in 'g.ins' and refine the structure again\n";
}
const std::string kNoSuchFile = " THERE IS NO SUCH FILE AS \r\n ";
const std::string kBanner = " +" + std::string(76, '=') + "+\r\n\r\n";  // the end of the banner
const std::string kFcf = "the reflection file of the refinement";
std::string clash(const std::string& option, const std::string& given, const std::string& file, const std::string& what) {
    return "velor: option " + option + ": '" + given + "' would replace '" + file + "', " + what + "\n";
}

std::vector<Case> cases() {
    const std::string eof = "End of file", bad_int = "Bad value during integer read";
    const std::string kLong(10000, 'x'), kOverBuffer(300000, 'x');  // longer than the 256 KiB read buffer
    const auto code = [](const std::string& c) { return edit("g.fcf", swap("list_code          4", "list_code          " + c)); };
    std::string garbage;  // every byte but LF
    for (int c = 0; c < 256; ++c)
        if (c != '\n') garbage.push_back(static_cast<char>(c));
    return {
        {"empty .res", edit("g.res", [](auto) { return ""; }), 2, fatal(at("g.res", 0, "TITL"), eof), "eee"},
        {"empty .fcf", edit("g.fcf", [](auto) { return ""; }), 2,
         fatal(at("g.fcf", 0, "_exptl_crystal_F_000"), eof), "eee"},

        // Binary garbage and NUL bytes.
        {"garbage line in the .fcf header", edit("g.fcf", insert_line(4, garbage)), 0, kFew, "ggg"},
        {"NUL in Fo2", edit("g.fcf", swap("94.14", std::string("9\0" ".14", 5))), 2,
         fatal(at("g.fcf", 36), "Bad value during floating point read"), "eee"},

        // Long lines: only the first 80 columns of a record count.
        {"10,000-character REM line in .res", edit("g.res", insert_line(2, "REM " + kLong)), 0, kFew, "gcg",
         {{"gx.ins", 2, padded("REM " + kLong.substr(0, 76))}}},
        {"line longer than the read buffer, then a bad record",
         edit("g.fcf", [=](std::string t) { return insert_line(42, "oops")(insert_line(4, "#" + kOverBuffer)(t)); }),
         2, fatal(at("g.fcf", 42), bad_int), "eee"},

        // Tabs separate free-format numbers, but not fixed-column fields.
        {"tabs in CELL", edit("g.res", swap("CELL 0.71073   7.8123", "CELL\t0.71073\t7.8123")), 0, kFew, "gcg"},
        {"tab inside an index field", edit("g.fcf", swap("   1   1   0", "  \t1   1   0")), 2,
         fatal(at("g.fcf", 36), bad_int), "eee"},

        // CR-only line ends make the file one record.
        {"CR-only line ends in .fcf", edit("g.fcf", [](std::string t) {
             std::replace(t.begin(), t.end(), '\n', '\r');
             return t;
         }),
         2, fatal(at("g.fcf", 1, "_exptl_crystal_F_000"), eof), "eee"},

        // A number too large for single precision becomes Infinity; an
        // R-value that is not a number is no improvement.
        {"Fo2 of 1e99", edit("g.fcf", swap("94.14", " 1e99")), 0,
         "velor: warning: the R-value after correction (NaN) is not lower than before (NaN): the correction does not "
         "make the data fit the model better\n" + few(54), "ccc",
         {{"gx.hkl", 2, "   1   1   0Infinity    0.57     1.116"},
          {"gx.abs", 23, " |  R-values before and after correction:       NaN and      NaN              |"}}},

        // A short record reads as if padded with blanks (a 9 without its
        // point is 0.09); a list without its terminator is a fatal end of
        // file after the last record, before anything is written.
        {"record cut inside Fo2", edit("g.fcf", swap("         94.14        10.20 o", "       9")), 0, few(54), "ccc",
         {{"gx.hkl", 2, "   1   1   0    0.01    0.00     1.116"}}},
        {"no terminator", edit("g.fcf", [](std::string t) { return t.substr(0, line_start(t, 95)); }), 2,
         fatal(at("g.fcf", 94), eof), "eee"},

        // Reflection list codes: anything but 4, in any record of the
        // header, stops the run before the question of the dialogue (no fit
        // letter, empty standard input).
        {"LIST 6", code("6"), 1, list_code("6"), "eee", {}, {"g"}},
        {"list code 4.5 in a second record", edit("g.fcf", insert_line(7, "_shelx_refln_list_code 4.5")), 1,
         list_code("4.5"), "eee", {}, {"g"}},
        {"list code 4.0", code("4.0"), 0, kFew, "ggg"},

        // The reflection file of another refinement; the same cell printed
        // with fewer decimals is the same refinement.
        {"cell of another refinement", edit("g.fcf", swap("_cell_length_a     7.8123", "_cell_length_a     7.9123")),
         1, "velor: files 'g.res' and 'g.fcf' are not of the same refinement: the cell differs (a 7.8123 against "
            "7.9123)\n", "eee", {}, {"g"}},
        {"cell with fewer decimals", edit("g.fcf", swap("_cell_length_a     7.8123", "_cell_length_a     7.812")), 0,
         kFew, "ggg"},
        // The wavelength of another data set puts reflections beyond sin θ
        // = 1: the run stops once the list is read, before the fit (which
        // the 17 reflections left could not determine), with either fit
        // size's way through the first pass.
        {"reflections beyond sin(theta) 1", edit("g.res", swap("CELL 0.71073", "CELL 8")), 1,
         "velor: files 'g.res' and 'g.fcf' are not of the same refinement: 43 reflections have sin(theta) > 1 at the "
         "wavelength and cell of 'g.res' (the first at h k l 2 0 0, sin(theta) 1.0240)\n", "eee", {}, {"g", "C"}, {},
         "   Building the normal equations ...\r\n"},
        {"every reflection beyond sin(theta) 1", edit("g.res", swap("CELL 0.71073", "CELL 20")), 1,
         "velor: files 'g.res' and 'g.fcf' are not of the same refinement: 60 reflections have sin(theta) > 1 at the "
         "wavelength and cell of 'g.res' (the first at h k l 2 0 0, sin(theta) 2.5601)\n", "eee", {}, {"g", "L"}, {},
         "   Building the normal equations ...\r\n"},

        // Records the run needs that are not there; without END nothing is
        // replaced.
        {"no CELL line", edit("g.res", swap("CELL 0.71073   7.8123  11.2345  16.0456  90.000  90.000  90.000\n", "")),
         2, fatal(at("g.res", 74, "CELL"), eof), "eee"},
        {"no FVAR line", edit("g.res", swap("FVAR       0.25000   0.50000\n", "")), 2,
         fatal(at("g.res", 74, "FVAR"), eof), "eee"},
        {"no END line", edit("g.res", swap("\nEND\n", "\n")), 2, fatal(at("g.res", 74, "END"), eof), "eee"},

        // Instructions in lower case are instructions all the same; a twin
        // refinement is copied, with a warning.
        {"lower-case instructions",
         edit("g.res",
              [](std::string t) {
                  for (const auto& [from, to] : {std::pair{"TITL", "titl"}, {"FVAR", "Fvar"}, {"MERG 2", "merg 0"},
                                                 {"HKLF 4", "hklf 5\nexti 0.01"}, {"\nEND\n", "\nend\n"}})
                      t = swap(from, to)(t);
                  return t;
              }),
         0,
         kFew + "velor: warning: 'g.res' refines twinned data (HKLF 5, TWIN or BASF): 'gx.hkl' holds HKLF 4 data and "
                "'gx.ins' still carries the twin instructions, which must be revised before the next refinement\n",
         "ccc",
         {{"gx.ins", 1, padded("titl g in P2(1)2(1)2(1)")}, {"gx.ins", 22, padded("REM merg 0")},
          {"gx.ins", 58, padded("HKLF 4")}, {"gx.ins", 59, padded("REM exti 0.01")}, {"gx.ins", 67, padded("end")}}},

        // Tabs separate the words of instructions as blanks do.
        {"tabs between instruction words",
         edit("g.res", [](std::string t) { return swap("HKLF 4", "HKLF\t5")(swap("MERG 2", "MERG\t0")(t)); }), 0,
         kFew + "velor: warning: 'g.res' refines twinned data (HKLF 5, TWIN or BASF): 'gx.hkl' holds HKLF 4 data and "
                "'gx.ins' still carries the twin instructions, which must be revised before the next refinement\n",
         "gcc", {{"gx.ins", 22, padded("REM MERG\t0")}, {"gx.ins", 58, padded("HKLF 4")}}},

        // A second argument that is no fit type counts as none, with a note.
        {"second argument not a fit letter", [](auto&) {}, 0,
         "velor: note: 'LL' is not a fit type (C, Q, L or F); the run goes on as without one\n"
         "velor: warning: only 55 reflections passed the screening for the 12 parameters of the fit, fewer than ten "
         "per parameter: the correction is poorly determined\n",
         "ccc", {}, {"g", "LL"}, {}, {}, "\n"},

        // A file that is not there, given or typed; the keyboard at its end.
        {"no .res", [](const fs::path& d) { fs::remove(d / "g.res"); }, 1, "", "eee", {}, {"g", "C"}, {},
         kNoSuchFile + padded("g.res")},
        {"stem with its extension", [](auto&) {}, 1, "velor: hint: give the file name without its extension, as in "
         "'velor g'\n", "eee", {}, {"g.res", "C"}, {}, kNoSuchFile + padded("g.res.res")},
        {"typed name of no file", [](auto&) {}, 1, "", "eee", {}, {}, {},
         "+\r\n\r\n   Input filename without extension: " + kNoSuchFile + padded("abc.res"), "abc\n"},
        {"name cut at a blank", [](auto&) {}, 1,
         "velor: hint: a file name ends at its first blank: 'my g' was read as 'my'\n", "eee", {}, {"my g", "C"}, {},
         kNoSuchFile + padded("my.res")},
        {"end of input at the name prompt", [](auto&) {}, 2, fatal("standard input, line 1", eof), "eee", {}, {}, {},
         "+\r\n\r\n   Input filename without extension: "},

        // Outputs that cannot be put in place.
        {"gx.abs is a folder",
         [](const fs::path& d) {
             fs::remove(d / "gx.abs");
             fs::create_directories(d / "gx.abs" / "inside");
         },
         2, fatal("writing file 'gx.abs'", "Cannot replace file 'gx.abs': Is a directory"), "eef"},
        // A full disk, as a file-size limit of 2 KiB (gx.hkl is 2430 bytes,
        // standard output less than 1 KiB by then), with the default action
        // for SIGXFSZ (velor ignores it itself).
        {"size limit while writing gx.hkl", [](auto&) {}, 2,
         fatal("writing file 'gx.hkl'", "Cannot write file 'gx.hkl': File too large"), "eee", {}, {"g", "C"},
         {"bash", "-c", "ulimit -f 2; exec \"$0\" \"$@\""}},
        {"unreadable g.res",
         [](const fs::path& d) {
             fs::permissions(d, fs::perms::all);  // for nobody, as root
             fs::permissions(d / "g.res", fs::perms::none);
         },
         2,
         fatal("opening file 'g.res'", "Permission denied trying to open file 'g.res'"), "eee", {}, {"g", "C"},
         kNobody},
        {"folder not writable", [](const fs::path& d) { fs::permissions(d, static_cast<fs::perms>(0555)); }, 2,
         fatal("writing file 'gx.hkl'", "Permission denied trying to open file 'gx.hkl'"), "eee", {}, {"g", "C"},
         kNobody},
        // Any other cause of a failed creation is named as the system names it.
        {"summary in a missing folder", [](auto&) {}, 2,
         fatal("writing file 'nosuch/r.html'", "Cannot create file 'nosuch/r.html': No such file or directory"),
         "eee", {}, {"--html", "nosuch/r.html", "g", "C"}},

        // Only regular files are read: anything else stops the run before
        // it is read from (a FIFO would wait for a writer for ever).
        {"g.fcf is a FIFO", replace("g.fcf", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }), 2,
         fatal("opening file 'g.fcf'", "File 'g.fcf' is not a regular file (a FIFO)"), "eee"},
        {"g.res is a folder", replace("g.res", [](const fs::path& p) { fs::create_directory(p); }), 2,
         fatal("opening file 'g.res'", "File 'g.res' is not a regular file (a folder)"), "eee"},
        {"g.res is a device", replace("g.res", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }), 2,
         fatal("opening file 'g.res'", "File 'g.res' is not a regular file (a device)"), "eee"},

        // A summary file that would replace a file of the run, however it is
        // spelled, or another summary file: one line, nothing read, nothing
        // written, the stem asked for first if need be.
        {"--json onto g.fcf", [](auto&) {}, 2, clash("--json", "g.fcf", "g.fcf", kFcf), "eee", {},
         {"--json", "g.fcf", "g", "C"}, {}, kBanner},
        {"--html onto g.res, by way of ..", [](const fs::path& d) { fs::create_directory(d / "a"); }, 2,
         clash("--html", "./a/../g.res", "g.res", "the instruction file of the refinement"), "eee", {},
         {"--html", "./a/../g.res", "g", "C"}, {}, kBanner},
        {"--cif onto the earlier gx.hkl", [](auto&) {}, 2,
         clash("--cif", "gx.hkl", "gx.hkl", "the corrected data of this run"), "eee", {}, {"--cif", "gx.hkl", "g", "C"},
         {}, kBanner},
        {"--json onto gx.abs to come", [](const fs::path& d) { fs::remove(d / "gx.abs"); }, 2,
         clash("--json", "./gx.abs", "gx.abs", "the report of this run"), "een", {}, {"--json", "./gx.abs", "g", "C"},
         {}, kBanner},
        {"--json onto a symbolic link to g.fcf", [](const fs::path& d) { fs::create_symlink("g.fcf", d / "s"); }, 2,
         clash("--json", "s", "g.fcf", kFcf), "eee", {}, {"--json", "s", "g", "C"}, {}, kBanner},
        {"--json onto a hard link to g.fcf", [](const fs::path& d) { fs::create_hard_link(d / "g.fcf", d / "h"); }, 2,
         clash("--json", "h", "g.fcf", kFcf), "eee", {}, {"--json", "h", "g", "C"}, {}, kBanner},
        {"--json and --cif onto one file", [](auto&) {}, 2,
         clash("--cif", "same.txt", "same.txt", "the file of option --json"), "eee", {},
         {"--json", "same.txt", "--cif", "same.txt", "g", "C"}, {}, kBanner},
        {"--json onto g.fcf, the stem typed", [](auto&) {}, 2, clash("--json", "g.fcf", "g.fcf", kFcf), "eee", {},
         {"--json", "g.fcf"}, {}, "   Input filename without extension: ", "g\n"},

        // Crystal data that are no crystal are refused before the fit.
        {"infinite cell length", edit("g.res", swap("7.8123", "1e39")), 1,
         "velor: impossible unit cell  Infinity   11.2345   16.0456    90.000    90.000    90.000: a cell length is "
         "not a number greater than zero\n", "eee"},
        {"cell volume out of range",
         [](const fs::path& d) {
             edit("g.res", swap("7.8123", "1e38"))(d);
             edit("g.fcf", swap("_cell_length_a     7.8123", ""))(d);
         },
         1,
         "velor: impossible unit cell**********   11.2345   16.0456    90.000    90.000    90.000: its volume is out "
         "of range\n", "eee"},
        {"cell angle above 180", edit("g.res", swap("16.0456  90.000", "16.0456 181.234")), 1,
         "velor: impossible unit cell    7.8123   11.2345   16.0456   181.234    90.000    90.000: a cell angle is "
         "not between 0 and 180 degrees\n", "eee", {}, {"g", "C"}, {}, "OMIT parameter = 3.00\r\n\r\n"},
        {"zero wavelength", edit("g.res", swap("CELL 0.71073", "CELL 0")), 1,
         "velor: impossible wavelength   0.00000 on the cell line: it must be a number greater than zero\n", "eee"},
        {"FVAR 0", edit("g.res", swap("FVAR       0.25000", "FVAR       0")), 1,
         "velor: impossible overall scale factor   0.00000 (the first FVAR value): it must be a number greater than "
         "zero\n", "eee"},

        // A cubic fit to the low-angle data only, applied to all of them:
        // S falls below zero at high angle and the run stops after the
        // correction pass, with nothing replaced.
        {"scale factors below zero",
         [](const fs::path& d) {
             for (const char* name : {"g.res", "g.fcf"})
                 fs::copy_file(test_data() / ".." / ".." / "examples" / ("demo" + std::string(name).substr(1)),
                               d / name, fs::copy_options::overwrite_existing);
         },
         1,
         "velor: the fitted scale factor S is not a positive number for 21 reflections (smallest S -0.313 at h k l -3 "
         "9 13): there the model, extrapolated beyond the data it was fitted to, is no transmission factor. Use a fit "
         "type with fewer parameters or a wider sin(theta) range.\n",
         "eee", {}, {"g"}, {}, "   Applying correction ...\r\n", "y\nc\n\n0.25\n\n"},
    };
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
        std::vector<std::string> command = c.prefix == kNobody && ::geteuid() != 0 ? std::vector<std::string>{} : c.prefix;
        if (command == kNobody && run_program("/", {kNobody[0], kNobody[1], kNobody[2], kNobody[3], "true"}).status) {
            std::cout << "skipped: running as root, and setpriv cannot switch to the user nobody\n";
            continue;
        }
        ScratchFolder dir("bad-input");
        lay_out(dir.path());
        c.damage(dir.path());
        const std::vector<std::string> before = dir.names();
        const std::string inputs = regular_text(dir / "g.res") + regular_text(dir / "g.fcf");
        command.push_back(program_path("velor"));
        command.insert(command.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult r = run_program(dir.path(), command, c.input);
        fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(r.status, c.status) << "(137: it hung; 128 and above: killed by a signal)\n" << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(r.out.ends_with(c.out_end)) << r.out;
        EXPECT_EQ(dir.names(), before) << "a file was left behind or lost";
        EXPECT_EQ(regular_text(dir / "g.res") + regular_text(dir / "g.fcf"), inputs) << "an input was changed";
        for (int i = 0; i < 3; ++i) expect_left(dir.path(), kOutputs[i], c.left[i]);
        for (const auto& [file, n, text] : c.lines) EXPECT_EQ(line_of(dir / file, n), text) << file;
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
    const pid_t pid = start_program(dir.path(), {program_path("velor"), "g", "C"}, "/dev/null", "", "/dev/null", ends[1]);
    ::close(ends[1]);
    EXPECT_EQ(wait_program(pid, std::chrono::seconds(20)), 2);
    for (const char* name : kOutputs) EXPECT_EQ(read_file(dir / name), read_file(golden() / name)) << name;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"}));
}

}  // namespace
}  // namespace velor::testing
