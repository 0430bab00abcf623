// The fitted S split into a direction-only part and a displacement-like one.
//
// S = λ²·Σ_i s^e_i·Σ_j x_ij·T_j (s = sin²θ) is, term by term, s^(e_i + 1)
// times a quadratic form in the direction, since λ²·T_j/s depends on the
// direction alone.  The term of power −1, S_dir = λ²·Σ_j x_j·T_j/s, is the
// direction-only part; the others grow with sin²θ, and S/S_dir − 1 vanishes
// at sin θ = 0.  That is what an overall change of every atom's
// displacement does to the intensities: exp(−4π²·hᵀΔU h), h the scattering
// vector in Å⁻¹ (|h| = 2 sin θ/λ), ΔU in Å².  A refinement with free
// displacement parameters takes that part up itself, so a correction made
// mostly of it changes the data without changing the structure.
//
// The equivalent ΔU is the least-squares fit, with equal weights, of
//   ln(S/S_dir) = −4π²·hᵀΔU h
// over the reflections of the fit (those with S and S_dir positive), without
// a constant, since both sides vanish at sin θ = 0.  In the crystal's axes
// hᵀΔU h = 4·Σ_j β_j·T_j, β the six elements of ΔU on the unit vectors of
// a*, b* and c* (β_4 that of a* and b*, and so on), so the fit is linear in
// the T_j: a 6 × 6 system, whatever the size of the list.  ΔU is given in the
// maps' Cartesian frame (reciprocal_axes: x along a*, y in the plane of a*
// and b*, z along c).  Data weakened by extra displacement, exp(−4π²·hᵀΔU h)
// with ΔU positive definite, give a positive ΔU.
//
// The size of each part over the same reflections: the rms of ln S_dir
// about its mean and the rms of ln(S/S_dir) about its mean (a constant
// factor is the refinement's overall scale), and the displacement-like
// share, the second's variance over the sum of both variances.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "model/component_pairs.hpp"
#include "model/geometry.hpp"

namespace velor::model {

struct DisplacementFigures {
    long reflections = 0;  // that took part
    bool determined = false;  // the 6 × 6 system was positive definite
    // ΔU11, ΔU22, ΔU33, ΔU12, ΔU13, ΔU23 (Cartesian, Å²), and ΔU_eq, a third
    // of the trace.
    std::array<double, 6> delta_u{};
    double delta_u_eq = 0.0;
    double rms_direction = 0.0, rms_displacement = 0.0;
    double displacement_share = 0.0;
};

class DisplacementSplit {
public:
    // A reflection with S and its direction-only part.  Inline: the second
    // pass calls it for each reflection of the fit and each fit type.
    void add(const Geometry& g, double s, double s_dir) {
        if (!(s > 0.0 && s_dir > 0.0) || !std::isfinite(s) || !std::isfinite(s_dir)) {
            ++skipped_;
            return;
        }
        const double ln_dir = fast_log(s_dir), ln_ratio = fast_log(s / s_dir);
        const std::array<double, kComponentPairs> tt = pair_products(g.t);
        for (std::size_t pair = 0; pair < kComponentPairs; ++pair) tt_[pair] += tt[pair];
        for (std::size_t j = 0; j < 6; ++j) ty_[j] += g.t[j] * ln_ratio;
        sum_dir_ += ln_dir, sum_dir_sq_ += ln_dir * ln_dir;
        sum_ratio_ += ln_ratio, sum_ratio_sq_ += ln_ratio * ln_ratio;
        ++count_;
    }
    long skipped() const { return skipped_; }
    DisplacementFigures figures(const ReciprocalCell& rc) const;

    // ln x for positive, finite x, to a few units in the last place, from
    // IEEE-754 +, −, × and / alone: the same on every system, and a fraction
    // of the cost of the correctly rounded one.  x = m·2^e with √½ ≤ m < √2
    // (e and m from the bits of x), and ln m = 2·atanh f, f = (m − 1)/(m + 1),
    // |f| ≤ 0.172, by its series to f¹⁹ (the next term is below 10⁻¹⁷).
    static double fast_log(double x) {
        constexpr std::uint64_t kMantissa = (std::uint64_t{1} << 52) - 1, kExponentOfOne = std::uint64_t{1023} << 52;
        int e = 0;
        if (x < 0x1p-1022) x *= 0x1p54, e = -54;  // subnormal
        const auto bits = std::bit_cast<std::uint64_t>(x);
        e += static_cast<int>(bits >> 52) - 1023;
        double m = std::bit_cast<double>((bits & kMantissa) | kExponentOfOne);  // 1 ≤ m < 2
        if (m > 1.4142135623730950488) m *= 0.5, ++e;
        const double f = (m - 1.0) / (m + 1.0), f2 = f * f;
        double series = 1.0 / 19.0;
        for (const double c : {1.0 / 17.0, 1.0 / 15.0, 1.0 / 13.0, 1.0 / 11.0, 1.0 / 9.0, 1.0 / 7.0, 1.0 / 5.0,
                               1.0 / 3.0, 1.0})
            series = c + f2 * series;
        // ln 2 in two parts, the first with trailing zero bits, so that
        // e·ln2_hi is exact (Cody & Waite 1980).
        constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
        const double de = e;
        return de * kLn2Hi + (2.0 * f * series + de * kLn2Lo);
    }

private:
    std::array<double, kComponentPairs> tt_{};  // Σ T_j·T_j' by component pair
    std::array<double, 6> ty_{};   // Σ T_j·ln(S/S_dir)
    double sum_dir_ = 0.0, sum_dir_sq_ = 0.0, sum_ratio_ = 0.0, sum_ratio_sq_ = 0.0;
    long count_ = 0, skipped_ = 0;
};

}  // namespace velor::model
