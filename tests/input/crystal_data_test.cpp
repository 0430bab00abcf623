// Crystal data from NAME.res and NAME.fcf: the cell line after TITL, the
// first FVAR value, F(000) from the CIF header, and the refusal of
// reflection lists other than LIST 4.  Each case writes its two files into
// a fresh folder under the system's temporary directory.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/crystal_data.hpp"
#include "textio/errors.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

namespace fs = std::filesystem;

// A file name as the file-name step hands it on: blank-padded to 80.
std::string field(const std::string& name) { return name + std::string(80 - name.size(), ' '); }

class Folder {
public:
    Folder() {
        static int serial = 0;
        path_ = fs::temp_directory_path() /
                ("velor-input-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string write(const std::string& name, const std::string& text) const {
        const std::string full = (path_ / name).string();
        std::ofstream(full, std::ios::binary) << text;
        return full;
    }
    std::string name(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

struct Result {
    CrystalData crystal;
    std::string console;
};

Result read_files(const std::string& res_text, const std::string& fcf_text) {
    const Folder folder;
    const std::string res = folder.write("x.res", res_text);
    const std::string fcf = folder.write("x.fcf", fcf_text);
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    Result r;
    r.crystal = read_crystal_data(field(res), field(fcf), console);
    r.console = out.str();
    return r;
}

// An older kind of file: the cell line directly after TITL, CR LF ends.
const std::string kLegacyRes =
    "TITL abc in P2(1)/c\r\n"
    "CELL 0.71073 10.2 11.3 12.4 90 95.5 90\r\n"
    "ZERR 4 0.001 0.001 0.001 0 0.01 0\r\n"
    "LATT 1\r\n"
    "SYMM -X, 0.5+Y, 0.5-Z\r\n"
    "SFAC C H O\r\n"
    "UNIT 40 40 8\r\n"
    "L.S. 4\r\n"
    "FVAR 0.12345\r\n"
    "HKLF 4\r\n"
    "END\r\n";

// As written by a current SHELXL: the file name, a "created by" line and
// REM lines between TITL and CELL.
const std::string kCurrentRes =
    "TITL abc_a.res in P2(1)/c\n"
    "    abc.res\n"
    "    created by SHELXL-2018/3 at 14:02:11 on 03-Mar-2020\n"
    "REM Old TITL abc in P2(1)/c\n"
    "REM Solution in P2(1)/c: R 0.123, Rweak 0.0034, Alpha 0.023\n"
    "CELL  1.54184  10.2000  11.3000  12.4000  90.000  95.500  90.000\n"
    "ZERR    4.000   0.0010   0.0010   0.0010   0.000   0.010   0.000\n"
    "LATT  1\n"
    "SYMM -X, 0.5+Y, 0.5-Z\n"
    "SFAC C H O\n"
    "UNIT 40 40 8\n"
    "L.S. 10\n"
    "FVAR       0.54321   0.50000\n"
    "HKLF 4\n"
    "END\n";

const std::string kHeadStart =
    "data_abc\n"
    "_shelx_title 'abc in P2(1)/c'\n";
const std::string kListCode4 = "_shelx_refln_list_code          4\n";
const std::string kF000 = "_exptl_crystal_F_000             512.00\n";
const std::string kHeadEnd =
    "loop_\n"
    " '-x, y+1/2, -z+1/2'\n"
    "\n"
    "loop_\n"
    " _refln_index_h\n"
    " _refln_observed_status\n";
// Legacy layout 3I4, 2F12.2, F10.2: decimal points in columns 22, 34, 44.
const std::string kReflections =
    "   1   0   0      123.45      120.00      3.00 o\n"
    "   0   1   1       10.05        9.82      2.10 o\n"
    "   0   0   0        0.00        0.00      0.00\n";

const std::string kFcf = kHeadStart + kListCode4 + kF000 + kHeadEnd + kReflections;

// -------------------------------------------------------------- values read

TEST(CrystalData, LegacyFile) {
    const CrystalData c = read_files(kLegacyRes, kFcf).crystal;
    EXPECT_EQ(c.lambda, 0.71073f);
    EXPECT_EQ(c.a, 10.2f);
    EXPECT_EQ(c.b, 11.3f);
    EXPECT_EQ(c.c, 12.4f);
    EXPECT_EQ(c.alpha, 90.0f);
    EXPECT_EQ(c.beta, 95.5f);
    EXPECT_EQ(c.gamma, 90.0f);
    EXPECT_EQ(c.osf, 0.12345f);
    EXPECT_EQ(c.f000, 512.0f);
    EXPECT_EQ(c.u, 0.005f);
    EXPECT_EQ(c.lambda_sq, 0.5051371559724807);
}

TEST(CrystalData, CurrentShelxlFileWithLinesBetweenTitlAndCell) {
    const Result r = read_files(kCurrentRes, kFcf);
    const CrystalData& c = r.crystal;
    EXPECT_EQ(c.lambda, 1.54184f);
    EXPECT_EQ(c.a, 10.2f);
    EXPECT_EQ(c.b, 11.3f);
    EXPECT_EQ(c.c, 12.4f);
    EXPECT_EQ(c.alpha, 90.0f);
    EXPECT_EQ(c.beta, 95.5f);
    EXPECT_EQ(c.gamma, 90.0f);
    EXPECT_EQ(c.osf, 0.54321f);
    EXPECT_EQ(c.f000, 512.0f);
    EXPECT_EQ(r.console, "");  // nothing is shown unless a file is missing
}

TEST(CrystalData, LambdaSquaredIsTheExactSquareOfTheSinglePrecisionValue) {
    const CrystalData c = read_files(kCurrentRes, kFcf).crystal;
    // 1.54184f is 1.5418399572372437...; its square, not that of 1.54184.
    EXPECT_EQ(c.lambda_sq, 2.3772704537333453);
    EXPECT_NE(c.lambda_sq, 1.54184 * 1.54184);
}

struct ResCase {
    const char* what;
    const char* res;
    float lambda, a, beta, osf;
};

const ResCase kResVariants[] = {
    {"lower-case cell", "TITL x\ncell 0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1.5\n", 0.71073f, 10.2f, 95.5f,
     1.5f},
    {"mixed-case Cell", "TITL x\nREM\nCell 0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1.5\n", 0.71073f, 10.2f, 95.5f,
     1.5f},
    {"no blank after CELL", "TITL x\nCELL0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1.5\n", 0.71073f, 10.2f, 95.5f,
     1.5f},
    {"FVAR before TITL", "FVAR 0.875\nTITL x\nCELL 0.71073 10.2 11.3 12.4 90 95.5 90\nEND\n", 0.71073f, 10.2f,
     95.5f, 0.875f},
    {"FVAR with three values", "TITL x\nCELL 0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 0.12345 0.5 0.25\n",
     0.71073f, 10.2f, 95.5f, 0.12345f},
};

TEST(CrystalData, InstructionFileVariants) {
    for (const ResCase& c : kResVariants) {
        SCOPED_TRACE(c.what);
        const CrystalData d = read_files(c.res, kFcf).crystal;
        EXPECT_EQ(d.lambda, c.lambda);
        EXPECT_EQ(d.a, c.a);
        EXPECT_EQ(d.beta, c.beta);
        EXPECT_EQ(d.osf, c.osf);
    }
}

struct FcfCase {
    const char* what;
    std::string fcf;
    float f000;
};

const FcfCase kFcfVariants[] = {
    {"list code 4", kFcf, 512.0f},
    {"no list code", kHeadStart + kF000 + kHeadEnd + kReflections, 512.0f},
    {"list code after F(000)", kHeadStart + kF000 + kListCode4 + kHeadEnd + kReflections, 512.0f},
    // Only the header is looked at for the list code.
    {"code text among the reflections",
     kHeadStart + kF000 + kHeadEnd + "   1   0   0      123.45      120.00      3.00 o\n"
                                     "_shelx_refln_list_code 6\n"
                                     "   0   0   0        0.00        0.00      0.00\n",
     512.0f},
    // The F(000) search itself runs on to the end of the file.
    {"F(000) after the reflections", kHeadStart + kListCode4 + kHeadEnd + kReflections + kF000, 512.0f},
};

TEST(CrystalData, ReflectionFileVariants) {
    for (const FcfCase& c : kFcfVariants) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(read_files(kLegacyRes, c.fcf).crystal.f000, c.f000);
    }
}

// ----------------------------------------------------------- fatal errors

struct ErrorCase {
    const char* what;
    std::string res;
    std::string fcf;
    const char* message;
    const char* file;  // named in the location of the error
};

const ErrorCase kErrors[] = {
    {"lower-case titl", "titl x\nCELL 0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1\n", kFcf, "End of file", "x.res"},
    {"no CELL after TITL", "CELL 0.71073 10.2 11.3 12.4 90 95.5 90\nTITL x\nREM\nFVAR 1\nEND\n", kFcf,
     "End of file", "x.res"},
    {"five cell values", "TITL x\nCELL 0.71073 10.2 11.3 12.4 90\n95.5 90\nFVAR 1\n", kFcf, "End of file",
     "x.res"},
    {"slash in the cell line", "TITL x\nCELL 0.71073 10.2 11.3 / 90 95.5 90\nFVAR 1\n", kFcf,
     "Bad real number in item 4 of list input", "x.res"},
    {"null value in the cell line", "TITL x\nCELL 0.71073,10.2,,12.4,90,95.5,90\nFVAR 1\n", kFcf,
     "Bad real number in item 3 of list input", "x.res"},
    {"F(000) on the next line", kLegacyRes,
     kHeadStart + kListCode4 + "_exptl_crystal_F_000\n 512.00\n" + kHeadEnd + kReflections, "End of file", "x.fcf"},
    {"no F(000)", kLegacyRes, kHeadStart + kListCode4 + kHeadEnd + kReflections, "End of file", "x.fcf"},
};

TEST(CrystalData, FatalRecordErrors) {
    for (const ErrorCase& c : kErrors) {
        SCOPED_TRACE(c.what);
        try {
            read_files(c.res, c.fcf);
            ADD_FAILURE() << "no error";
        } catch (const textio::RecordError& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_NE(e.location().find(c.file), std::string::npos) << e.location();
        }
    }
}

// ------------------------------------------------------ list code refused

struct ListCodeCase {
    const char* what;
    std::string fcf;
    const char* code;
};

const ListCodeCase kWrongLists[] = {
    {"code 6 before F(000)", kHeadStart + "_shelx_refln_list_code          6\n" + kF000 + kHeadEnd + kReflections,
     "6"},
    {"code 3 after F(000)", kHeadStart + kF000 + "_shelx_refln_list_code 3\n" + kHeadEnd + kReflections, "3"},
    // The wrong kind of file is the better thing to report than the
    // missing F(000) it leads to.
    {"code 6 and no F(000)", kHeadStart + "_shelx_refln_list_code 6\n" + kHeadEnd + kReflections, "6"},
};

TEST(CrystalData, ListCodeOtherThanFourStopsTheRun) {
    for (const ListCodeCase& c : kWrongLists) {
        SCOPED_TRACE(c.what);
        const Folder folder;
        const std::string res = folder.write("x.res", kLegacyRes);
        const std::string fcf = folder.write("x.fcf", c.fcf);
        std::ostringstream out;
        textio::ConsoleChannel console(out);
        try {
            read_crystal_data(field(res), field(fcf), console);
            ADD_FAILURE() << "no stop";
        } catch (const textio::RunStop& e) {
            const std::string message = e.what();
            EXPECT_EQ(e.exit_status(), 1);
            EXPECT_NE(message.find(fcf), std::string::npos) << message;
            EXPECT_NE(message.find(std::string("list code ") + c.code), std::string::npos) << message;
            EXPECT_NE(message.find("LIST 4"), std::string::npos) << message;
        }
        EXPECT_EQ(out.str(), "");
    }
}

// ------------------------------------------------------------ missing files

TEST(CrystalData, MissingInstructionFileIsTheMissingFileStop) {
    ASSERT_FALSE(fs::exists("abc.res"));
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    try {
        read_crystal_data(field("abc.res"), field("abc.fcf"), console);
        ADD_FAILURE() << "no stop";
    } catch (const textio::RunStop& e) {
        EXPECT_EQ(e.exit_status(), 1);
    }
    EXPECT_EQ(out.str(), " THERE IS NO SUCH FILE AS \r\n abc.res                                                                         ");
}

TEST(CrystalData, MissingReflectionFileIsTheMissingFileStop) {
    const Folder folder;
    const std::string res = folder.write("x.res", kLegacyRes);
    const std::string fcf = folder.name("x.fcf");
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    try {
        read_crystal_data(field(res), field(fcf), console);
        ADD_FAILURE() << "no stop";
    } catch (const textio::RunStop& e) {
        EXPECT_EQ(e.exit_status(), 1);
    }
    EXPECT_EQ(out.str(), " THERE IS NO SUCH FILE AS \r\n " + field(fcf));
}

}  // namespace
}  // namespace velor::input
