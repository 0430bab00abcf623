// Unit cell, reciprocal cell, reflection geometry and the symmetry of the six
// model structures the generator can write.
#pragma once

#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "gen/options.hpp"

namespace velor::gen {

struct Miller {
    int h = 0;
    int k = 0;
    int l = 0;
    friend bool operator==(const Miller&, const Miller&) = default;
};

// Crystal data as velor reads them back from the CELL line:
// single-precision values, and lambda^2 as the exact double product.
struct CellData {
    float lambda = 0;
    float a = 0, b = 0, c = 0;
    float alpha_deg = 0, beta_deg = 0, gamma_deg = 0;
    double lambda_sq = 0;
};

struct ReciprocalCell {
    double a_star = 0, b_star = 0, c_star = 0;
    double cos_alpha_star = 0, cos_beta_star = 0, cos_gamma_star = 0;
};

// The reciprocal cell with velor's precision and order of
// operations (radians rounded to single precision, a*b formed in single), so
// that sin^2(theta) and the scale factor S of a generated reflection are the
// values it will compute. Throws GenError for an impossible cell.
ReciprocalCell reciprocal_cell(const CellData& cell);

// Tensor components T1..T6 and sin^2(theta) of one reflection:
// T1 = h^2 a*^2/4, T2 = k^2 b*^2/4, T3 = l^2 c*^2/4, T4 = hk a*b*/2,
// T5 = hl a*c*/2, T6 = kl b*c*/2, and
// sin^2(theta) = lambda^2 (T1 + T2 + T3 + T4 cos gamma* + T5 cos beta* + T6 cos alpha*),
// the Bragg relation lambda^2/(4 d^2).
struct Geometry {
    std::array<double, 6> t{};
    double sin2theta = 0;
};
Geometry reflection_geometry(const ReciprocalCell& rc, double lambda_sq, Miller m);

// Unit vectors along a*, b*, c* in a Cartesian frame (columns of the matrix):
// a* along x, b* in the xy plane.
std::array<std::array<double, 3>, 3> reciprocal_axes(const ReciprocalCell& rc);

// Cell volume in A^3.
double cell_volume(const ReciprocalCell& rc);

// One space group per crystal system, written to the .res and .fcf.
struct SpaceGroup {
    std::string_view symbol;                 // as SHELXL writes it, e.g. "P2(1)/c"
    int latt;                                // LATT: 1 centrosymmetric P, -1 non-centrosymmetric P
    std::span<const std::string_view> symm;  // SYMM cards (identity and inversion implied)
    std::span<const std::string_view> symops;  // all operators, CIF notation, for the .fcf loop
    int z;                                     // molecules per cell (one per general position)
};
const SpaceGroup& space_group(CrystalSystem s);

// Reflections extinguished by the screw axes of that space group.
bool systematically_absent(CrystalSystem s, Miller m);

// The Laue group of the space group, as integer matrices acting on (h, k, l).
// Symmetry-equivalent reflections have the same |Fc|; the representative of an
// orbit is the member with the largest (l, k, h), so l >= 0.
class LaueGroup {
public:
    explicit LaueGroup(CrystalSystem s);
    int order() const { return static_cast<int>(ops_.size()); }
    Miller apply(int op, Miller m) const;  // op 0 is the identity
    bool is_representative(Miller m) const;
    Miller representative(Miller m) const;

private:
    std::vector<std::array<int, 9>> ops_;
};

// A typical cell of the system (a, b, c, alpha, beta, gamma).
std::array<double, 6> default_cell(CrystalSystem s);
// Whether the cell has the metric of the system (e.g. a = b, gamma = 120 for hexagonal).
bool cell_fits(CrystalSystem s, const std::array<double, 6>& cell);
// The highest-symmetry system whose metric the cell has.
CrystalSystem highest_system(const std::array<double, 6>& cell);

}  // namespace velor::gen
