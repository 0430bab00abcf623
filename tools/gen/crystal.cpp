#include "gen/crystal.hpp"

#include <algorithm>
#include <cmath>

#include "gen/detmath.hpp"
#include "gen/error.hpp"

namespace velor::gen {

ReciprocalCell reciprocal_cell(const CellData& cell) {
    // Degrees to radians with the single-precision pi, rounded to single precision.
    constexpr float kPi = 3.1415927f;
    const float alpha = cell.alpha_deg * kPi / 180.0f;
    const float beta = cell.beta_deg * kPi / 180.0f;
    const float gamma = cell.gamma_deg * kPi / 180.0f;
    const detmath::SinCos sa = detmath::sincos(static_cast<double>(alpha));
    const detmath::SinCos sb = detmath::sincos(static_cast<double>(beta));
    const detmath::SinCos sg = detmath::sincos(static_cast<double>(gamma));
    if (!(cell.a > 0 && cell.b > 0 && cell.c > 0)) fail("cell lengths must be positive");
    // V/(abc), the volume of the cell with unit edges.
    const double v2 =
        1.0 - sa.cos * sa.cos - sb.cos * sb.cos - sg.cos * sg.cos + 2.0 * sa.cos * sb.cos * sg.cos;
    if (!(v2 > 1e-12) || !(sa.sin > 0 && sb.sin > 0 && sg.sin > 0))
        fail("cell angles do not describe a cell");
    const double v_unit = std::sqrt(v2);
    const float ab = cell.a * cell.b;
    const double v = v_unit * static_cast<double>(ab) * static_cast<double>(cell.c);
    ReciprocalCell rc;
    rc.a_star = static_cast<double>(cell.b) * static_cast<double>(cell.c) * sa.sin / v;
    rc.b_star = static_cast<double>(cell.a) * static_cast<double>(cell.c) * sb.sin / v;
    rc.c_star = static_cast<double>(cell.a) * static_cast<double>(cell.b) * sg.sin / v;
    rc.cos_alpha_star = (sb.cos * sg.cos - sa.cos) / (sb.sin * sg.sin);
    rc.cos_beta_star = (sa.cos * sg.cos - sb.cos) / (sa.sin * sg.sin);
    rc.cos_gamma_star = (sa.cos * sb.cos - sg.cos) / (sa.sin * sb.sin);
    return rc;
}

Geometry reflection_geometry(const ReciprocalCell& rc, double lambda_sq, Miller m) {
    // Integer products first (they are exact), then the tensor components.
    const double hh = static_cast<double>(m.h * m.h);
    const double kk = static_cast<double>(m.k * m.k);
    const double ll = static_cast<double>(m.l * m.l);
    const double hk = static_cast<double>(m.h * m.k);
    const double hl = static_cast<double>(m.h * m.l);
    const double kl = static_cast<double>(m.k * m.l);
    Geometry g;
    g.t[0] = 0.25 * rc.a_star * rc.a_star * hh;
    g.t[1] = 0.25 * rc.b_star * rc.b_star * kk;
    g.t[2] = 0.25 * rc.c_star * rc.c_star * ll;
    g.t[3] = 0.5 * rc.a_star * rc.b_star * hk;
    g.t[4] = 0.5 * rc.a_star * rc.c_star * hl;
    g.t[5] = 0.5 * rc.b_star * rc.c_star * kl;
    g.sin2theta =
        (((((g.t[0] + g.t[1]) + g.t[2]) + g.t[3] * rc.cos_gamma_star) + g.t[4] * rc.cos_beta_star) +
         g.t[5] * rc.cos_alpha_star) *
        lambda_sq;
    return g;
}

std::array<std::array<double, 3>, 3> reciprocal_axes(const ReciprocalCell& rc) {
    const double cg = rc.cos_gamma_star, cb = rc.cos_beta_star, ca = rc.cos_alpha_star;
    const double sg = std::sqrt(1.0 - cg * cg);
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(0.0, 1.0 - cb * cb - cy * cy));
    // columns: a*, b*, c*
    return {{{1.0, cg, cb}, {0.0, sg, cy}, {0.0, 0.0, cz}}};
}

double cell_volume(const ReciprocalCell& rc) {
    const double ca = rc.cos_alpha_star, cb = rc.cos_beta_star, cg = rc.cos_gamma_star;
    const double v_star = rc.a_star * rc.b_star * rc.c_star *
                          std::sqrt(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg);
    return 1.0 / v_star;
}

namespace {

// P-1
constexpr std::string_view kSymopsTriclinic[] = {"x, y, z", "-x, -y, -z"};
// P2(1)/c
constexpr std::string_view kSymmMonoclinic[] = {"-X, 0.5+Y, 0.5-Z"};
constexpr std::string_view kSymopsMonoclinic[] = {"x, y, z", "-x, y+1/2, -z+1/2", "-x, -y, -z",
                                                  "x, -y-1/2, z-1/2"};
// P2(1)2(1)2(1)
constexpr std::string_view kSymmOrthorhombic[] = {"0.5-X, -Y, 0.5+Z", "-X, 0.5+Y, 0.5-Z",
                                                  "0.5+X, 0.5-Y, -Z"};
constexpr std::string_view kSymopsOrthorhombic[] = {"x, y, z", "-x+1/2, -y, z+1/2",
                                                    "-x, y+1/2, -z+1/2", "x+1/2, -y+1/2, -z"};
// P4/m
constexpr std::string_view kSymmTetragonal[] = {"-X, -Y, Z", "-Y, X, Z", "Y, -X, Z"};
constexpr std::string_view kSymopsTetragonal[] = {"x, y, z",   "-x, -y, z",  "-y, x, z",
                                                  "y, -x, z",  "-x, -y, -z", "x, y, -z",
                                                  "y, -x, -z", "-y, x, -z"};
// P6(1)
constexpr std::string_view kSymmHexagonal[] = {"-Y, X-Y, 0.33333+Z", "-X+Y, -X, 0.66667+Z",
                                               "-X, -Y, 0.5+Z", "Y, -X+Y, 0.83333+Z",
                                               "X-Y, X, 0.16667+Z"};
constexpr std::string_view kSymopsHexagonal[] = {"x, y, z",         "-y, x-y, z+1/3",
                                                 "-x+y, -x, z+2/3", "-x, -y, z+1/2",
                                                 "y, -x+y, z+5/6",  "x-y, x, z+1/6"};
// P2(1)3
constexpr std::string_view kSymmCubic[] = {
    "0.5-X, -Y, 0.5+Z", "-X, 0.5+Y, 0.5-Z", "0.5+X, 0.5-Y, -Z", "Z, X, Y",
    "0.5+Z, 0.5-X, -Y", "0.5-Z, -X, 0.5+Y", "-Z, 0.5+X, 0.5-Y", "Y, Z, X",
    "-Y, 0.5+Z, 0.5-X", "0.5+Y, 0.5-Z, -X", "0.5-Y, -Z, 0.5+X"};
constexpr std::string_view kSymopsCubic[] = {
    "x, y, z", "-x+1/2, -y, z+1/2", "-x, y+1/2, -z+1/2", "x+1/2, -y+1/2, -z",
    "z, x, y", "z+1/2, -x+1/2, -y", "-z+1/2, -x, y+1/2", "-z, x+1/2, -y+1/2",
    "y, z, x", "-y, z+1/2, -x+1/2", "y+1/2, -z+1/2, -x", "-y+1/2, -z, x+1/2"};

const SpaceGroup kSpaceGroups[] = {
    {"P-1", 1, {}, kSymopsTriclinic, 2},
    {"P2(1)/c", 1, kSymmMonoclinic, kSymopsMonoclinic, 4},
    {"P2(1)2(1)2(1)", -1, kSymmOrthorhombic, kSymopsOrthorhombic, 4},
    {"P4/m", 1, kSymmTetragonal, kSymopsTetragonal, 8},
    {"P6(1)", -1, kSymmHexagonal, kSymopsHexagonal, 6},
    {"P2(1)3", -1, kSymmCubic, kSymopsCubic, 12},
};

using IntMatrix = std::array<int, 9>;  // row-major, acting on the column (h, k, l)

constexpr IntMatrix kIdentity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr IntMatrix kInversion = {-1, 0, 0, 0, -1, 0, 0, 0, -1};

IntMatrix multiply(const IntMatrix& x, const IntMatrix& y) {
    IntMatrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int n = 0; n < 3; ++n) r[3 * i + j] += x[3 * i + n] * y[3 * n + j];
    return r;
}

std::vector<IntMatrix> laue_generators(CrystalSystem s) {
    switch (s) {
        case CrystalSystem::triclinic:  // -1
            return {kInversion};
        case CrystalSystem::monoclinic:  // 2/m, unique axis b
            return {kInversion, {-1, 0, 0, 0, 1, 0, 0, 0, -1}};
        case CrystalSystem::orthorhombic:  // mmm
            return {kInversion, {-1, 0, 0, 0, -1, 0, 0, 0, 1}, {-1, 0, 0, 0, 1, 0, 0, 0, -1}};
        case CrystalSystem::tetragonal:  // 4/m: (h,k,l) -> (-k,h,l)
            return {kInversion, {0, -1, 0, 1, 0, 0, 0, 0, 1}};
        case CrystalSystem::hexagonal:  // 6/m: (h,k,l) -> (h+k,-h,l), keeps h^2+hk+k^2
            return {kInversion, {1, 1, 0, -1, 0, 0, 0, 0, 1}};
        case CrystalSystem::cubic:  // m-3: cyclic permutation and a twofold axis
            return {kInversion, {0, 0, 1, 1, 0, 0, 0, 1, 0}, {-1, 0, 0, 0, -1, 0, 0, 0, 1}};
    }
    return {kInversion};
}

// Lexicographic key (l, k, h): the representative of an orbit has the largest.
bool key_less(Miller x, Miller y) {
    if (x.l != y.l) return x.l < y.l;
    if (x.k != y.k) return x.k < y.k;
    return x.h < y.h;
}

}  // namespace

const SpaceGroup& space_group(CrystalSystem s) { return kSpaceGroups[static_cast<int>(s)]; }

bool systematically_absent(CrystalSystem s, Miller m) {
    const bool h0 = m.h == 0, k0 = m.k == 0, l0 = m.l == 0;
    switch (s) {
        case CrystalSystem::triclinic:
        case CrystalSystem::tetragonal: return false;
        case CrystalSystem::monoclinic:  // c glide: h0l with l odd; 2(1) along b: 0k0 with k odd
            return (k0 && m.l % 2 != 0) || (h0 && l0 && m.k % 2 != 0);
        case CrystalSystem::orthorhombic:  // 2(1) along a, b, c
        case CrystalSystem::cubic:
            return (k0 && l0 && m.h % 2 != 0) || (h0 && l0 && m.k % 2 != 0) ||
                   (h0 && k0 && m.l % 2 != 0);
        case CrystalSystem::hexagonal:  // 6(1): 00l with l not a multiple of 6
            return h0 && k0 && m.l % 6 != 0;
    }
    return false;
}

LaueGroup::LaueGroup(CrystalSystem s) {
    const std::vector<IntMatrix> gens = laue_generators(s);
    ops_.push_back(kIdentity);
    for (std::size_t i = 0; i < ops_.size(); ++i) {
        for (const IntMatrix& g : gens) {
            const IntMatrix p = multiply(g, ops_[i]);
            if (std::find(ops_.begin(), ops_.end(), p) == ops_.end()) ops_.push_back(p);
        }
    }
}

Miller LaueGroup::apply(int op, Miller m) const {
    const IntMatrix& r = ops_[static_cast<std::size_t>(op)];
    return {r[0] * m.h + r[1] * m.k + r[2] * m.l, r[3] * m.h + r[4] * m.k + r[5] * m.l,
            r[6] * m.h + r[7] * m.k + r[8] * m.l};
}

bool LaueGroup::is_representative(Miller m) const {
    for (int i = 1; i < order(); ++i)
        if (key_less(m, apply(i, m))) return false;
    return true;
}

Miller LaueGroup::representative(Miller m) const {
    Miller best = m;
    for (int i = 1; i < order(); ++i) {
        const Miller e = apply(i, m);
        if (key_less(best, e)) best = e;
    }
    return best;
}

std::array<double, 6> default_cell(CrystalSystem s) {
    switch (s) {
        case CrystalSystem::triclinic: return {7.9123, 9.1234, 11.4567, 86.123, 79.456, 71.789};
        case CrystalSystem::monoclinic: return {10.5321, 12.3456, 15.7012, 90.0, 101.234, 90.0};
        case CrystalSystem::orthorhombic: return {7.8123, 11.2345, 16.0456, 90.0, 90.0, 90.0};
        case CrystalSystem::tetragonal: return {9.8765, 9.8765, 14.3210, 90.0, 90.0, 90.0};
        case CrystalSystem::hexagonal: return {12.3456, 12.3456, 8.7654, 90.0, 90.0, 120.0};
        case CrystalSystem::cubic: return {12.4321, 12.4321, 12.4321, 90.0, 90.0, 90.0};
    }
    return {10.0, 10.0, 10.0, 90.0, 90.0, 90.0};
}

bool cell_fits(CrystalSystem s, const std::array<double, 6>& c) {
    auto same = [](double x, double y) { return std::fabs(x - y) <= 1e-5 * std::max(x, y); };
    auto right = [](double angle) { return std::fabs(angle - 90.0) <= 1e-3; };
    switch (s) {
        case CrystalSystem::triclinic: return true;
        case CrystalSystem::monoclinic: return right(c[3]) && right(c[5]);
        case CrystalSystem::orthorhombic: return right(c[3]) && right(c[4]) && right(c[5]);
        case CrystalSystem::tetragonal:
            return same(c[0], c[1]) && right(c[3]) && right(c[4]) && right(c[5]);
        case CrystalSystem::hexagonal:
            return same(c[0], c[1]) && right(c[3]) && right(c[4]) &&
                   std::fabs(c[5] - 120.0) <= 1e-3;
        case CrystalSystem::cubic:
            return same(c[0], c[1]) && same(c[0], c[2]) && right(c[3]) && right(c[4]) &&
                   right(c[5]);
    }
    return false;
}

CrystalSystem highest_system(const std::array<double, 6>& cell) {
    for (CrystalSystem s :
         {CrystalSystem::cubic, CrystalSystem::hexagonal, CrystalSystem::tetragonal,
          CrystalSystem::orthorhombic, CrystalSystem::monoclinic})
        if (cell_fits(s, cell)) return s;
    return CrystalSystem::triclinic;
}

}  // namespace velor::gen
