// Crystal data from NAME.res and NAME.fcf: the cell line after TITL, the
// first FVAR value, F(000) from the CIF header, the refusal of reflection
// lists other than LIST 4, and the cell of the header against NAME.res.
// Each case writes its two files into a scratch folder and states, as one
// line, what reading them gives.
#include <charconv>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "input/crystal_data.hpp"
#include "platform/failure.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {
namespace {

template <class T>
std::string text(T x) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

// "λ a b c α β γ λ² OSF F000" (shortest exact forms), or "error: ..." or
// "stop: ...", the scratch folder shown as DIR.
std::string outcome(const std::string& res_text, const std::string& fcf_text) {
    const velor::testing::ScratchFolder folder("crystal");
    velor::testing::write_file(folder / "x.res", res_text);
    velor::testing::write_file(folder / "x.fcf", fcf_text);
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    std::string result;
    try {
        const std::string dir = folder.path().string();  // '/' after it on Windows too
        const core::CrystalData c =
            read_crystal_data(dir + "/x.res", dir + "/x.fcf", console);
        for (const float v : {c.lambda, c.a, c.b, c.c, c.alpha_deg, c.beta_deg, c.gamma_deg}) result += text(v) + " ";
        result += text(c.lambda_sq) + " OSF=" + text(c.osf) + " F000=" + text(c.f000);
    } catch (const textio::RecordError& e) {
        result = "error: " + std::string(e.what()) + " at " + e.location();
    } catch (const RunStop& e) {
        result = "stop: " + std::string(e.what());
    }
    for (std::size_t at; (at = result.find(folder.path().string())) != std::string::npos;)
        result.replace(at, folder.path().string().size(), "DIR");
    return result;
}

const std::string kCellLine = "CELL 0.71073 10.2 11.3 12.4 90 95.5 90\n";
const std::string kRes = "TITL abc in P2(1)/c\r\n" + kCellLine + "LATT 1\r\nFVAR 0.12345\r\nHKLF 4\r\nEND\r\n";
const std::string kHead = "data_abc\n_shelx_title 'abc in P2(1)/c'\n";
const std::string kCode4 = "_shelx_refln_list_code          4\n";
const std::string kF000 = "_exptl_crystal_F_000             512.00\n";
const std::string kLoop = "loop_\n '-x, y+1/2, -z+1/2'\n\nloop_\n _refln_index_h\n _refln_observed_status\n";
const std::string kRecord = "   1   0   0      123.45      120.00      3.00 o\n";
const std::string kList = kRecord + "   0   0   0        0.00        0.00      0.00\n";
const std::string kFcf = kHead + kCode4 + kF000 + kLoop + kList;
const std::string kCell = "0.71073 10.2 11.3 12.4 90 95.5 90 0.5051371559724807 ";
std::string cell_items(const std::string& a, const std::string& beta) {
    return "_cell_length_a " + a + "\n_cell_length_b 11.3\n_CELL_length_c   12.4000\n_cell_angle_alpha 90\n" +
           "_cell_angle_beta " + beta + "\n_cell_angle_gamma 90.0\n";
}
std::string refused(const std::string& code) {
    return "stop: file 'DIR/x.fcf' has reflection list code " + code + " (_shelx_refln_list_code); a LIST 4 file (h, "
           "k, l, Fc2, Fo2, sigma(Fo2)) is needed: set LIST 4 in 'DIR/x.ins' and refine the structure again";
}

TEST(CrystalData, WhatTheFilesGive) {
    const struct {
        std::string res, fcf, expected;
    } cases[] = {
        {kRes, kFcf, kCell + "OSF=0.12345 F000=512"},
        // The file name, a "created by" line and REM lines between TITL and
        // CELL; λ² is the exact square of the single-precision λ.
        {"TITL abc_a.res in P2(1)/c\n    abc.res\n    created by X at 14:02:11 on 03-Mar-2020\nREM Old TITL abc\n"
         "CELL  1.54184  10.2000  11.3000  12.4000  90.000  95.500  90.000\nFVAR       0.54321   0.50000\n",
         kFcf, "1.54184 10.2 11.3 12.4 90 95.5 90 2.3772704537333453 OSF=0.54321 F000=512"},
        // Keywords and data names in any letter case; CELL with or without a
        // blank after it; OSF the first value of the first FVAR, even before TITL.
        {"titl x\nREM\nCell 0.71073 10.2 11.3 12.4 90 95.5 90\nfvar 1.5 0.5\n",
         kHead + "_EXPTL_crystal_F_000 256\n" + kLoop + kList, kCell + "OSF=1.5 F000=256"},
        {"FVAR 0.875\nTITL x\nCELL0.71073 10.2 11.3 12.4 90 95.5 90\nFVAR 2\nEND\n", kFcf, kCell + "OSF=0.875 F000=512"},
        // No list code, or list code 4 after F(000); a code among the
        // reflections is not looked at; F(000) is searched for to the end.
        {kRes, kHead + "_exptl_crystal_F_000 1024\n" + kCode4 + kLoop + kList, kCell + "OSF=0.12345 F000=1024"},
        {kRes, kHead + kF000 + kLoop + kRecord + "_shelx_refln_list_code 6\n" + kList, kCell + "OSF=0.12345 F000=512"},
        {kRes, kHead + kCode4 + kLoop + kList + kF000, kCell + "OSF=0.12345 F000=512"},
        // Fatal record errors, located in their file.
        {"REM titl\n" + kCellLine + "FVAR 1\n", kFcf, "error: End of file at file 'DIR/x.res', line 3, looking for TITL"},
        {kCellLine + "TITL x\nREM\nFVAR 1\nEND\n", kFcf,
         "error: End of file at file 'DIR/x.res', line 5, looking for CELL"},
        {"TITL x\nCELL 0.71073 10.2 11.3 12.4 90\n95.5 90\nFVAR 1\n", kFcf,
         "error: End of file at file 'DIR/x.res', line 2"},
        {"TITL x\nCELL 0.71073,10.2,,12.4,90,95.5,90\nFVAR 1\n", kFcf,
         "error: Bad real number in item 3 of list input at file 'DIR/x.res', line 2"},
        {kRes, kHead + kCode4 + "_exptl_crystal_F_000\n 512.00\n" + kLoop + kList,
         "error: End of file at file 'DIR/x.fcf', line 4"},
        {kRes, kHead + kCode4 + kLoop + kList, "error: End of file at file 'DIR/x.fcf', line 11, looking for "
                                               "_exptl_crystal_F_000"},
        // A list code other than 4 stops the run, before or after F(000);
        // it is reported rather than the missing F(000) it leads to.
        {kRes, kHead + kF000 + "_shelx_refln_list_code 3\n" + kLoop + kList, refused("3")},
        {kRes, kHead + "_SHELX_REFLN_LIST_CODE 6\n" + kLoop + kList, refused("6")},
        // The cell of the header must be that of NAME.res to one unit in its
        // last printed decimal.
        {kRes, kFcf + cell_items("10.19", "95.5000"), kCell + "OSF=0.12345 F000=512"},
        {kRes, kHead + kF000 + cell_items("10.2000(3)", "95.5") + kLoop + kList, kCell + "OSF=0.12345 F000=512"},
        {kRes, kHead + kF000 + cell_items("10.18", "97") + kLoop + kList,
         "stop: files 'DIR/x.res' and 'DIR/x.fcf' are not of the same refinement: the cell differs (a 10.2 against "
         "10.18, beta 95.5 against 97)"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(c.res, c.fcf), c.expected) << c.res << "\n" << c.fcf;
}

}  // namespace
}  // namespace velor::input
