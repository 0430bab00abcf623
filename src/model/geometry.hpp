// The reciprocal cell, and the geometry of a reflection in it: the one
// description of the crystal's metric that the fit, the correction and the
// maps of the correction all use.
#pragma once

#include <array>
#include <cstdint>

#include "core/crystal_data.hpp"

namespace velor::model {

struct ReciprocalCell {
    double a = 0.0, b = 0.0, c = 0.0;  // a*, b*, c*, Å⁻¹
    double cos_alpha = 0.0, cos_beta = 0.0, cos_gamma = 0.0;  // cos α*, cos β*, cos γ*
};

// What makes crystal data impossible for any crystal, the first found in
// this order; `none` for data that give a reciprocal cell.
enum class ImpossibleCrystal {
    none,
    cell_length,       // a length not a number greater than zero
    cell_angle,        // an angle not between 0° and 180°
    wavelength,        // λ not a number greater than zero
    scale_factor,      // OSF not a number greater than zero
    no_volume,         // angles that enclose no volume
    volume_out_of_range,
};
ImpossibleCrystal impossibility(const core::CrystalData& crystal);

// The reciprocal cell of the direct cell, with the angles turned into
// radians in single precision (core/single_precision.hpp).  For crystal
// data without an impossibility.
ReciprocalCell reciprocal_cell(const core::CrystalData& crystal);

// The six components of the reflection's direction tensor and sin²θ.
struct Geometry {
    std::array<double, 6> t{};  // T1..T6
    double sin2 = 0.0;          // sin²θ
};

// T1 = h²a*²/4, T2 = k²b*²/4, T3 = l²c*²/4, T4 = hk·a*b*/2, T5 = hl·a*c*/2,
// T6 = kl·b*c*/2, and sin²θ = λ²/(4d²) = λ²·(T1 + T2 + T3 + T4 cos γ* +
// T5 cos β* + T6 cos α*), summed in that order.  The factors of the cell
// that every reflection shares, 0.25·a*·a* and the others, are formed once,
// grouped as the products are evaluated (left to right).
class GeometryOfReflections {
public:
    GeometryOfReflections(const ReciprocalCell& rc, double lambda_sq)
        : f_{0.25 * rc.a * rc.a, 0.25 * rc.b * rc.b, 0.25 * rc.c * rc.c,
             0.5 * rc.a * rc.b,  0.5 * rc.a * rc.c,  0.5 * rc.b * rc.c},
          cos_alpha_(rc.cos_alpha),
          cos_beta_(rc.cos_beta),
          cos_gamma_(rc.cos_gamma),
          lambda_sq_(lambda_sq) {}

    // Of real-valued indices: a scattering vector of any direction and
    // length.  Inline: both passes evaluate it for every reflection.
    Geometry operator()(double h, double k, double l) const {
        Geometry g;
        g.t[0] = f_[0] * (h * h);
        g.t[1] = f_[1] * (k * k);
        g.t[2] = f_[2] * (l * l);
        g.t[3] = f_[3] * (h * k);
        g.t[4] = f_[4] * (h * l);
        g.t[5] = f_[5] * (k * l);
        const double sum =
            ((((g.t[0] + g.t[1]) + g.t[2]) + g.t[3] * cos_gamma_) + g.t[4] * cos_beta_) + g.t[5] * cos_alpha_;
        g.sin2 = sum * lambda_sq_;
        return g;
    }

    // Of a reflection.  Its indices are read from four columns, so their
    // products are whole numbers below 10⁸, exact in double precision.
    Geometry operator()(std::int32_t h, std::int32_t k, std::int32_t l) const {
        return (*this)(static_cast<double>(h), static_cast<double>(k), static_cast<double>(l));
    }

private:
    std::array<double, 6> f_;
    double cos_alpha_, cos_beta_, cos_gamma_, lambda_sq_;
};

// The same metric in Cartesian form, for the maps of the correction: a*,
// b* and c* in Å⁻¹, x along a*, y in the plane of a* and b*, z along c
// (perpendicular to a* and b*).
using Vector3 = std::array<double, 3>;
std::array<Vector3, 3> reciprocal_axes(const ReciprocalCell& rc);

// The real-valued indices h, k, l of the scattering vector h* with the
// direction of the unit vector `unit` and |h*| = 2 sin θ / λ.
Vector3 indices_along(const ReciprocalCell& rc, const Vector3& unit, double sin_theta, double lambda);

}  // namespace velor::model
