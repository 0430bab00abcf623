// Crystal data from NAME.res and NAME.fcf: the cell line after TITL, the
// first FVAR value, F(000) from the CIF header, and the refusal of
// reflection lists other than LIST 4.  Each case writes its two files into
// a scratch folder and states, as one line, what reading them gives.
#include <charconv>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/crystal_data.hpp"
#include "stops/run_stop.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

// A file name as the file-name step hands it on: blank-padded to 80.
std::string field(const std::string& name) { return name + std::string(80 - name.size(), ' '); }

template <class T>
std::string text(T x) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

// The values read (shortest exact form), or "error: ..." / "stop N: ...",
// then " / console: ..." if anything was shown.  The folder reads as DIR.
std::string outcome(const std::string& res_text, const std::string& fcf_text) {
    const velor::testing::ScratchFolder folder("crystal");
    const std::string res = (folder / "x.res").string(), fcf = (folder / "x.fcf").string();
    velor::testing::write_file(res, res_text);
    velor::testing::write_file(fcf, fcf_text);
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    std::string result;
    try {
        const CrystalData c = read_crystal_data(field(res), field(fcf), console);
        result = text(c.lambda) + " " + text(c.a) + " " + text(c.b) + " " + text(c.c) + " " + text(c.alpha_deg) + " " +
                 text(c.beta_deg) + " " + text(c.gamma_deg) + " lambda^2=" + text(c.lambda_sq) + " U=" + text(c.u) +
                 " OSF=" + text(c.osf) + " F000=" + text(c.f000);
    } catch (const textio::RecordError& e) {
        result = "error: " + std::string(e.what()) + " at " + e.location();
    } catch (const RunStop& e) {
        result = "stop " + std::to_string(e.exit_status()) + ": " + e.what();
    }
    if (!out.str().empty()) result += " / console: " + out.str();
    for (std::size_t at; (at = result.find(folder.path().string())) != std::string::npos;)
        result.replace(at, folder.path().string().size(), "DIR");
    return result;
}

// An older kind of file: the cell line directly after TITL, CR LF ends.
const std::string kLegacyRes =
    "TITL abc in P2(1)/c\r\n"
    "CELL 0.71073 10.2 11.3 12.4 90 95.5 90\r\n"
    "ZERR 4 0.001 0.001 0.001 0 0.01 0\r\n"
    "LATT 1\r\nSYMM -X, 0.5+Y, 0.5-Z\r\nSFAC C H O\r\nUNIT 40 40 8\r\nL.S. 4\r\n"
    "FVAR 0.12345\r\n"
    "HKLF 4\r\nEND\r\n";

// As a current refinement program writes it: the file name, a "created by"
// line and REM lines between TITL and CELL.
const std::string kCurrentRes =
    "TITL abc_a.res in P2(1)/c\n"
    "    abc.res\n"
    "    created by SHELXL-2018/3 at 14:02:11 on 03-Mar-2020\n"
    "REM Old TITL abc in P2(1)/c\n"
    "REM Solution in P2(1)/c: R 0.123, Rweak 0.0034, Alpha 0.023\n"
    "CELL  1.54184  10.2000  11.3000  12.4000  90.000  95.500  90.000\n"
    "ZERR    4.000   0.0010   0.0010   0.0010   0.000   0.010   0.000\n"
    "LATT  1\nSYMM -X, 0.5+Y, 0.5-Z\nSFAC C H O\nUNIT 40 40 8\nL.S. 10\n"
    "FVAR       0.54321   0.50000\n"
    "HKLF 4\nEND\n";

const std::string kHeadStart = "data_abc\n_shelx_title 'abc in P2(1)/c'\n";
const std::string kListCode4 = "_shelx_refln_list_code          4\n";
const std::string kF000 = "_exptl_crystal_F_000             512.00\n";
const std::string kHeadEnd = "loop_\n '-x, y+1/2, -z+1/2'\n\nloop_\n _refln_index_h\n _refln_observed_status\n";
// Legacy layout 3I4, 2F12.2, F10.2: decimal points in columns 22, 34, 44.
const std::string kReflection = "   1   0   0      123.45      120.00      3.00 o\n";
const std::string kReflections = kReflection + "   0   1   1       10.05        9.82      2.10 o\n"
                                               "   0   0   0        0.00        0.00      0.00\n";
const std::string kFcf = kHeadStart + kListCode4 + kF000 + kHeadEnd + kReflections;

// The header's cell items, with a and beta as given.
std::string kCellItems(const std::string& a, const std::string& beta) {
    return "_cell_length_a " + a + "\n_cell_length_b 11.3\n_CELL_length_c   12.4000\n_cell_angle_alpha 90\n" +
           "_cell_angle_beta " + beta + "\n_cell_angle_gamma 90.0\n";
}

const std::string kCell = "0.71073 10.2 11.3 12.4 90 95.5 90 lambda^2=0.5051371559724807 U=0.005 ";
const std::string kCellLine = "CELL 0.71073 10.2 11.3 12.4 90 95.5 90\n";
std::string refused(const std::string& code) {
    return "stop 1: file 'DIR/x.fcf' has reflection list code " + code +
           " (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, Fo2, sigma(Fo2)) is needed: set LIST 4 in "
           "'DIR/x.ins' and refine the structure again";
}

TEST(CrystalData, WhatTheFilesGive) {
    struct Case {
        std::string res, fcf, expected;
    };
    const Case cases[] = {
        {kLegacyRes, kFcf, kCell + "OSF=0.12345 F000=512"},
        // λ² is the exact square of the single-precision λ, not of 1.54184.
        {kCurrentRes, kFcf,
         "1.54184 10.2 11.3 12.4 90 95.5 90 lambda^2=2.3772704537333453 U=0.005 OSF=0.54321 F000=512"},
        // CELL in any letter case, with or without a blank after it.
        {"TITL x\nREM\nCell 0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1.5\n", kFcf, kCell + "OSF=1.5 F000=512"},
        {"TITL x\nCELL0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 1.5\n", kFcf, kCell + "OSF=1.5 F000=512"},
        // Every keyword and data name in any letter case.
        {"titl x\n" + kCellLine + "fvar 1\n", kHeadStart + "_EXPTL_crystal_F_000 256\n" + kHeadEnd + kReflections,
         kCell + "OSF=1 F000=256"},
        // OSF: the first value of the first FVAR record, even before TITL.
        {"FVAR 0.875\nTITL x\n" + kCellLine + "END\n", kFcf, kCell + "OSF=0.875 F000=512"},
        {"TITL x\n" + kCellLine + "FVAR 0.25 0.5 0.75\n", kFcf, kCell + "OSF=0.25 F000=512"},
        // No list code, or list code 4 after F(000); a code among the
        // reflections is not looked at; F(000) is searched for to the end.
        {kLegacyRes, kHeadStart + kF000 + kHeadEnd + kReflections, kCell + "OSF=0.12345 F000=512"},
        {kLegacyRes, kHeadStart + "_exptl_crystal_F_000 1024\n" + kListCode4 + kHeadEnd + kReflections,
         kCell + "OSF=0.12345 F000=1024"},
        {kLegacyRes, kHeadStart + kF000 + kHeadEnd + kReflection + "_shelx_refln_list_code 6\n" + kReflections,
         kCell + "OSF=0.12345 F000=512"},
        {kLegacyRes, kHeadStart + kListCode4 + kHeadEnd + kReflections + kF000, kCell + "OSF=0.12345 F000=512"},
        // Fatal record errors, located in their file.
        {"REM titl\n" + kCellLine + "FVAR 1\n", kFcf, "error: End of file at file 'DIR/x.res', line 3, looking for TITL"},
        {kCellLine + "TITL x\nREM\nFVAR 1\nEND\n", kFcf,
         "error: End of file at file 'DIR/x.res', line 5, looking for CELL"},
        {"TITL x\nCELL 0.71073 10.2 11.3 12.4 90\n95.5 90\nFVAR 1\n", kFcf,
         "error: End of file at file 'DIR/x.res', line 2"},
        {"TITL x\nCELL 0.71073 10.2 11.3 / 90 95.5 90\nFVAR 1\n", kFcf,
         "error: Bad real number in item 4 of list input at file 'DIR/x.res', line 2"},
        {"TITL x\nCELL 0.71073,10.2,,12.4,90,95.5,90\nFVAR 1\n", kFcf,
         "error: Bad real number in item 3 of list input at file 'DIR/x.res', line 2"},
        {kLegacyRes, kHeadStart + kListCode4 + "_exptl_crystal_F_000\n 512.00\n" + kHeadEnd + kReflections,
         "error: End of file at file 'DIR/x.fcf', line 4"},
        {kLegacyRes, kHeadStart + kListCode4 + kHeadEnd + kReflections,
         "error: End of file at file 'DIR/x.fcf', line 12, looking for _exptl_crystal_F_000"},
        // A list code other than 4 stops the run, before or after F(000);
        // it is reported rather than the missing F(000) it leads to.
        {kLegacyRes, kHeadStart + kF000 + "_shelx_refln_list_code 3\n" + kHeadEnd + kReflections, refused("3")},
        {kLegacyRes, kHeadStart + "_shelx_refln_list_code 6\n" + kHeadEnd + kReflections, refused("6")},
        {kLegacyRes, kHeadStart + kListCode4 + kF000 + "_SHELX_REFLN_LIST_CODE 6\n" + kHeadEnd + kReflections,
         refused("6")},
        // The cell in the header of the reflection file must be that of
        // NAME.res (10.2 11.3 12.4 90 95.5 90) to one unit in its last
        // printed decimal.
        {kLegacyRes, kFcf + kCellItems("10.19", "95.5000"), kCell + "OSF=0.12345 F000=512"},
        {kLegacyRes, kHeadStart + kF000 + kCellItems("10.2000(3)", "95.5") + kHeadEnd + kReflections,
         kCell + "OSF=0.12345 F000=512"},
        {kLegacyRes, kHeadStart + kF000 + kCellItems("10.18", "97") + kHeadEnd + kReflections,
         "stop 1: files 'DIR/x.res' and 'DIR/x.fcf' are not of the same refinement: the cell differs (a 10.2 "
         "against 10.18, beta 95.5 against 97)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.res + "\n" + c.fcf);
        EXPECT_EQ(outcome(c.res, c.fcf), c.expected);
    }
}

}  // namespace
}  // namespace velor::input
