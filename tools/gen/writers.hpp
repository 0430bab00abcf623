// Writers of the two refinement files: NAME.fcf (LIST 4 reflection list with
// its CIF-style header) and NAME.res (refined instruction file).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gen/crystal.hpp"
#include "gen/fixed_format.hpp"
#include "gen/options.hpp"

namespace velor::gen {

// Column widths of Fc^2, Fo^2 and sigma(Fo^2) in a reflection record; each has
// two decimals and the record is 3I4, the three F fields, 1X, A1.
//   current (SHELXL 2013+): 3I4, 2F14.2, F13.2, 1X, A1 - points in 24, 38, 51; 55 columns
//   legacy  (SHELXL-97):    3I4, 2F12.2, F10.2, 1X, A1 - points in 22, 34, 44; 48 columns
struct RecordFields {
    int fc2, fo2, sigma;
};
constexpr RecordFields record_fields(Layout layout) {
    return layout == Layout::current ? RecordFields{14, 14, 13} : RecordFields{12, 12, 10};
}
constexpr int record_length(Layout layout) {
    const RecordFields f = record_fields(layout);
    return 12 + f.fc2 + f.fo2 + f.sigma + 2;
}

// The CELL line numbers as written (lambda F7.5, a b c F9.4, angles F8.3) and
// the single-precision values a reader takes from them.
struct CellText {
    std::string lambda;
    std::array<std::string, 6> cell;
    CellData as_read;
};
CellText make_cell_text(double lambda, const std::array<double, 6>& cell);

struct FcfHeader {
    std::string data_name;  // the file stem
    std::string title;      // text of the TITL line after "TITL "
    Layout layout = Layout::current;
    CrystalSystem system = CrystalSystem::monoclinic;
    CellData cell;
    double f_calc_max = 0;  // largest Fc (not squared)
    double f000 = 0;
    double d_min = 0;
};
void write_fcf_header(LineSink& out, const FcfHeader& h);
// One record, status 'o'. Values are clamped to what their fields can show.
void write_reflection(LineSink& out, Layout layout, Miller m, double fc2, double fo2, double sigma);
// Current layout: a line of 48 blanks; legacy layout: an empty line.
void write_terminator(LineSink& out, Layout layout);

// Agreement of the written Fo^2 with the written Fc^2, as a refinement would
// report it (the scale error the correction removes is part of it).
struct RefinementStats {
    std::int64_t n_all = 0;
    std::int64_t n_gt = 0;  // Fo > 4 sigma(Fo), i.e. Fo^2 > 2 sigma(Fo^2)
    double r1_num_all = 0, r1_den_all = 0, r1_num_gt = 0, r1_den_gt = 0;
    double wr2_num = 0, wr2_den = 0;
    void add(double fc2, double fo2, double sigma);
};

struct ResContent {
    std::string stem;
    std::string title;
    bool legacy_res = false;
    CrystalSystem system = CrystalSystem::monoclinic;
    CellText cell;
    double osf = 0.25;
    double extinction = 0;
    std::uint64_t seed = 1;
    std::uint64_t model_seed = 1;
    RefinementStats stats;
};
void write_res(const std::string& path, bool crlf, const ResContent& res);

// Electrons in the cell of the model structure: F(000) of real data sets of it.
double cell_electrons(CrystalSystem s);

}  // namespace velor::gen
