#include "gen/writers.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "gen/error.hpp"
#include "gen/random.hpp"

namespace velor::gen {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

float read_single(std::string_view text) {
    text = trim(text);
    float v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc()) fail("internal error: cannot read back '" + std::string(text) + "'");
    return v;
}

// Largest and smallest value an Fw.2 field shows without overflow.
double field_max(int w) { return std::pow(10.0, w - 3) - 0.01; }
double field_min(int w) { return -(std::pow(10.0, w - 4) - 0.01); }

std::string limit_line(std::string s) {
    if (s.size() > 79) s.resize(79);  // .res and .fcf lines stay within 79 columns
    return s;
}

// Per molecule: C12 H10 N2 O2; hydrogen atoms ride on their carbons and are not listed.
struct Element {
    std::string_view symbol;
    int sfac;
    int per_molecule;
    int electrons;
};
constexpr Element kFormula[] = {{"C", 1, 12, 6}, {"H", 2, 10, 1}, {"N", 3, 2, 7}, {"O", 4, 2, 8}};

}  // namespace

CellText make_cell_text(double lambda, const std::array<double, 6>& cell) {
    CellText t;
    t.lambda = fixed_text(lambda, 7, 5);
    for (std::size_t i = 0; i < 6; ++i)
        t.cell[i] = i < 3 ? fixed_text(cell[i], 9, 4) : fixed_text(cell[i], 8, 3);
    CellData& c = t.as_read;
    c.lambda = read_single(t.lambda);
    c.a = read_single(t.cell[0]);
    c.b = read_single(t.cell[1]);
    c.c = read_single(t.cell[2]);
    c.alpha_deg = read_single(t.cell[3]);
    c.beta_deg = read_single(t.cell[4]);
    c.gamma_deg = read_single(t.cell[5]);
    c.lambda_sq = static_cast<double>(c.lambda) * static_cast<double>(c.lambda);
    return t;
}

void write_fcf_header(LineSink& out, const FcfHeader& h) {
    const bool current = h.layout == Layout::current;
    out.line("#");
    out.line(current ? "# h,k,l, Fc-squared, Fo-squared, sigma(Fo-squared), status flag"
                     : "# h,k,l, Fc-squared, Fo-squared, sigma(Fo-squared) and status flag");
    out.line("#");
    out.line(limit_line("data_" + h.data_name));
    out.line(limit_line("_shelx_title ' " + h.title + "'"));
    out.line("_shelx_refln_list_code" + int_text(4, 11));
    out.line("_shelx_F_calc_maximum" + fixed_text(h.f_calc_max, 12, 2));
    // The data name fills columns 1-20 and the value columns 21 on.
    out.line("_exptl_crystal_F_000" + fixed_text(h.f000, 13, 2));
    out.line("_reflns_d_resolution_high" + fixed_text(h.d_min, 8, 4));
    out.line("");
    out.line("loop_");
    out.line(current ? " _space_group_symop_operation_xyz" : " _symmetry_equiv_pos_as_xyz");
    for (std::string_view op : space_group(h.system).symops) out.line(" '" + std::string(op) + "'");
    out.line("");
    out.line("_cell_length_a" + fixed_text(static_cast<double>(h.cell.a), 11, 4));
    out.line("_cell_length_b" + fixed_text(static_cast<double>(h.cell.b), 11, 4));
    out.line("_cell_length_c" + fixed_text(static_cast<double>(h.cell.c), 11, 4));
    out.line("_cell_angle_alpha" + fixed_text(static_cast<double>(h.cell.alpha_deg), 8, 3));
    out.line("_cell_angle_beta " + fixed_text(static_cast<double>(h.cell.beta_deg), 8, 3));
    out.line("_cell_angle_gamma" + fixed_text(static_cast<double>(h.cell.gamma_deg), 8, 3));
    out.line("");
    out.line("_shelx_F_squared_multiplier" + fixed_text(1.0, 10, 3));
    out.line("");
    out.line("loop_");
    for (std::string_view name :
         {" _refln_index_h", " _refln_index_k", " _refln_index_l", " _refln_F_squared_calc",
          " _refln_F_squared_meas", " _refln_F_squared_sigma", " _refln_observed_status"})
        out.line(name);
}

void write_reflection(LineSink& out, Layout layout, Miller m, double fc2, double fo2,
                      double sigma) {
    const RecordFields f = record_fields(layout);
    const auto n = static_cast<std::size_t>(record_length(layout));
    char* p = out.reserve(n);
    put_int(p, 4, m.h);
    put_int(p + 4, 4, m.k);
    put_int(p + 8, 4, m.l);
    p += 12;
    for (auto [value, w] :
         {std::pair{fc2, f.fc2}, std::pair{fo2, f.fo2}, std::pair{sigma, f.sigma}}) {
        put_fixed(p, w, 2, std::clamp(value, field_min(w), field_max(w)));
        p += w;
    }
    p[0] = ' ';
    p[1] = 'o';
    out.commit(n);
    out.end_line();
}

void write_terminator(LineSink& out, Layout layout) {
    out.line(layout == Layout::current ? std::string(48, ' ') : std::string());
}

void RefinementStats::add(double fc2, double fo2, double sigma) {
    const double fo = std::sqrt(std::max(fo2, 0.0));
    const double fc = std::sqrt(std::max(fc2, 0.0));
    ++n_all;
    r1_num_all += std::fabs(fo - fc);
    r1_den_all += fo;
    if (fo2 > 2.0 * sigma) {
        ++n_gt;
        r1_num_gt += std::fabs(fo - fc);
        r1_den_gt += fo;
    }
    const double w = 1.0 / (sigma * sigma);
    wr2_num += w * (fo2 - fc2) * (fo2 - fc2);
    wr2_den += w * fo2 * fo2;
}

void write_res(const std::string& path, bool crlf, const ResContent& res) {
    const SpaceGroup& sg = space_group(res.system);
    LineSink out(path, crlf);
    Xoshiro256 rng(res.seed ^ 0x3c6ef372fe94f82bULL);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * rng.uniform_open(); };

    out.line(limit_line("TITL " + res.title));
    if (!res.legacy_res) {
        out.line(limit_line("    " + res.stem + ".res"));
        out.line("    created by velor-gen, synthetic data (seed " +
                 int_text(static_cast<long long>(res.seed), 1) + ", model seed " +
                 int_text(static_cast<long long>(res.model_seed), 1) + ")");
    }
    std::string cell = "CELL " + res.cell.lambda;
    for (const std::string& v : res.cell.cell) cell += v;
    out.line(cell);

    // Standard uncertainties: about 1.5e-4 of a length; none on a fixed angle.
    std::string zerr = "ZERR" + fixed_text(static_cast<double>(sg.z), 8, 2);
    for (std::size_t i = 0; i < 3; ++i) {
        const double len = static_cast<double>(read_single(res.cell.cell[i]));
        zerr += fixed_text(std::max(1e-4, 1.5e-4 * len), 9, 4);
    }
    for (std::size_t i = 3; i < 6; ++i) {
        const double angle = static_cast<double>(read_single(res.cell.cell[i]));
        const bool fixed =
            res.system != CrystalSystem::triclinic && (angle == 90.0 || angle == 120.0);
        zerr += fixed_text(fixed ? 0.0 : 0.002, 8, 3);
    }
    out.line(zerr);
    out.line("LATT " + int_text(sg.latt, 1));
    for (std::string_view op : sg.symm) out.line("SYMM " + std::string(op));
    std::string sfac = "SFAC", unit = "UNIT";
    for (const Element& e : kFormula) {
        sfac.append(" ").append(e.symbol);
        unit.append(" ").append(int_text(e.per_molecule * sg.z, 1));
    }
    out.line(sfac);
    out.line(unit);
    out.line("TEMP -173");
    out.line("SIZE 0.32 0.24 0.18");
    out.line("");
    for (std::string_view ins :
         {"L.S. 10", "PLAN  20", "BOND", "CONF", "LIST 4", "FMAP 2", "ACTA", "MERG 2"})
        out.line(ins);
    out.line("");
    out.line("WGHT" + fixed_text(0.05, 12, 6) + fixed_text(0.2, 12, 6));
    if (res.extinction > 0.0) out.line("EXTI" + fixed_text(res.extinction, 12, 6));
    out.line("FVAR    " + fixed_text(res.osf, 10, 5) + fixed_text(0.5, 10, 5));

    int n_atoms = 0;
    for (const Element& e : kFormula) {
        if (e.symbol == "H") continue;
        for (int i = 1; i <= e.per_molecule; ++i, ++n_atoms) {
            std::string name = std::string(e.symbol) + int_text(i, 1);
            name.resize(6, ' ');
            std::string line = name + int_text(e.sfac, 1);
            for (int c = 0; c < 3; ++c) line += fixed_text(uniform(0.0, 1.0), 12, 6);
            line += fixed_text(11.0, 12, 5);
            // One draw per statement: the order of evaluation of operands is unspecified.
            line += fixed_text(uniform(0.015, 0.06), 11, 5);  // U11
            line += fixed_text(uniform(0.015, 0.06), 11, 5);  // U22
            out.line(line + " =");
            std::string more = "     ";
            more += fixed_text(uniform(0.015, 0.06), 11, 5);  // U33
            for (int u = 0; u < 3; ++u)
                more += fixed_text(uniform(-0.005, 0.005), 11, 5);  // U23 U13 U12
            out.line(more);
        }
    }
    out.line("HKLF 4");
    out.line("");
    out.line("");

    const RefinementStats& st = res.stats;
    const int n_param = 9 * n_atoms + 1;
    auto ratio = [](double num, double den) { return den > 0.0 ? num / den : 0.0; };
    const double wr2 = std::sqrt(ratio(st.wr2_num, st.wr2_den));
    const double goof = std::sqrt(
        ratio(st.wr2_num, static_cast<double>(std::max<std::int64_t>(st.n_all - n_param, 1))));
    out.line(limit_line("REM  " + res.title));
    out.line("REM wR2 = " + fixed_text(wr2, 6, 4) + ", GooF = S = " + fixed_text(goof, 5, 3) +
             ", Restrained GooF = " + fixed_text(goof, 5, 3) + " for all data");
    out.line("REM R1 = " + fixed_text(ratio(st.r1_num_gt, st.r1_den_gt), 6, 4) + " for " +
             int_text(st.n_gt, 1) + " Fo > 4sig(Fo) and " +
             fixed_text(ratio(st.r1_num_all, st.r1_den_all), 6, 4) + " for all " +
             int_text(st.n_all, 1) + " data");
    out.line("REM " + int_text(n_param, 1) + " parameters refined using 0 restraints");
    out.line("");
    out.line("END");
    // What a refinement appends after END: the suggested weights and the
    // difference-map peaks. Readers of the instructions stop at END.
    out.line("");
    out.line("WGHT" + fixed_text(0.05, 12, 4) + fixed_text(0.2, 12, 4));
    out.line("");
    out.line("REM Highest difference peak  0.412,  deepest hole -0.287,  1-sigma level  0.061");
    for (int q = 1; q <= 5; ++q) {
        std::string name = std::string("Q").append(int_text(q, 1));
        name.resize(6, ' ');
        std::string line = name + "1 ";
        for (int c = 0; c < 3; ++c) line += fixed_text(uniform(0.0, 1.0), 8, 4);
        line +=
            fixed_text(11.0, 10, 5) + fixed_text(0.05, 6, 2) + fixed_text(0.45 - 0.05 * q, 8, 2);
        out.line(line);
    }
    out.close();
}

// Total electrons in the cell, a lower bound for F(000) of the model structure.
double cell_electrons(CrystalSystem s) {
    int per_molecule = 0;
    for (const Element& e : kFormula) per_molecule += e.per_molecule * e.electrons;
    return static_cast<double>(per_molecule * space_group(s).z);
}

}  // namespace velor::gen
