#include "model/geometry.hpp"

#include <cmath>

#include "core/single_precision.hpp"
#include "model/portable_math.hpp"

namespace velor::model {
namespace {

// The cosines and sines of the cell angles, from the angles in radians in
// single precision.  The reciprocal cell, and so every sin²θ, depends on
// those roundings bit for bit.
struct AngleFunctions {
    double ca, cb, cg, sa, sb, sg;
};

AngleFunctions angle_functions(const core::CrystalData& crystal) {
    const double alpha = core::single::radians(crystal.alpha_deg);
    const double beta = core::single::radians(crystal.beta_deg);
    const double gamma = core::single::radians(crystal.gamma_deg);
    return {portable::cos(alpha), portable::cos(beta), portable::cos(gamma),
            portable::sin(alpha), portable::sin(beta), portable::sin(gamma)};
}

// The square of the volume of the cell with unit edges.
double unit_volume_squared(const AngleFunctions& f) {
    return 1.0 - f.ca * f.ca - f.cb * f.cb - f.cg * f.cg + 2.0 * f.ca * f.cb * f.cg;
}

// The cell volume, Å³.  a·b is rounded to single precision before the rest
// is multiplied in: the reciprocal lengths, and with them every scale
// factor written, depend on that rounding in their last bits.
double volume(const core::CrystalData& crystal, const AngleFunctions& f) {
    const float ab = core::single::cell_product(crystal.a, crystal.b);
    return std::sqrt(unit_volume_squared(f)) * static_cast<double>(ab) * static_cast<double>(crystal.c);
}

}  // namespace

ImpossibleCrystal impossibility(const core::CrystalData& crystal) {
    const auto usable = [](float v) { return std::isfinite(v) && v > 0.0f; };
    const auto between_0_and_180 = [](float v) { return v > 0.0f && v < 180.0f; };
    if (!(usable(crystal.a) && usable(crystal.b) && usable(crystal.c))) return ImpossibleCrystal::cell_length;
    if (!(between_0_and_180(crystal.alpha_deg) && between_0_and_180(crystal.beta_deg) &&
          between_0_and_180(crystal.gamma_deg)))
        return ImpossibleCrystal::cell_angle;
    if (!usable(crystal.lambda)) return ImpossibleCrystal::wavelength;
    // Every corrected intensity is multiplied by OSF²: a zero or negative
    // scale would write zeros or sign-flipped data.
    if (!usable(crystal.osf)) return ImpossibleCrystal::scale_factor;
    const AngleFunctions f = angle_functions(crystal);
    if (!(unit_volume_squared(f) > 0.0)) return ImpossibleCrystal::no_volume;
    const double v = volume(crystal, f);
    if (!(std::isfinite(v) && v > 0.0)) return ImpossibleCrystal::volume_out_of_range;
    return ImpossibleCrystal::none;
}

ReciprocalCell reciprocal_cell(const core::CrystalData& crystal) {
    const AngleFunctions f = angle_functions(crystal);
    const double v = volume(crystal, f);
    ReciprocalCell rc;
    rc.a = static_cast<double>(crystal.b) * static_cast<double>(crystal.c) * f.sa / v;
    rc.b = static_cast<double>(crystal.a) * static_cast<double>(crystal.c) * f.sb / v;
    rc.c = static_cast<double>(crystal.a) * static_cast<double>(crystal.b) * f.sg / v;
    rc.cos_alpha = (f.cb * f.cg - f.ca) / (f.sb * f.sg);
    rc.cos_beta = (f.ca * f.cg - f.cb) / (f.sa * f.sg);
    rc.cos_gamma = (f.ca * f.cb - f.cg) / (f.sa * f.sb);
    return rc;
}

std::array<Vector3, 3> reciprocal_axes(const ReciprocalCell& rc) {
    const double sin_gamma = std::sqrt(1.0 - rc.cos_gamma * rc.cos_gamma);
    // c* from its projections on a* and on the unit vector of y, and the
    // rest of its unit length along z.
    const double cy = (rc.cos_alpha - rc.cos_beta * rc.cos_gamma) / sin_gamma;
    const double cz = std::sqrt(1.0 - rc.cos_beta * rc.cos_beta - cy * cy);
    return {
        {{rc.a, 0.0, 0.0}, {rc.b * rc.cos_gamma, rc.b * sin_gamma, 0.0}, {rc.c * rc.cos_beta, rc.c * cy, rc.c * cz}}};
}

Vector3 indices_along(const ReciprocalCell& rc, const Vector3& unit, double sin_theta, double lambda) {
    // h·a* + k·b* + l·c* = v, the matrix of the axes upper triangular.
    const auto [a, b, c] = reciprocal_axes(rc);
    const double length = 2.0 * sin_theta / lambda;
    const double l = unit[2] * length / c[2];
    const double k = (unit[1] * length - c[1] * l) / b[1];
    const double h = (unit[0] * length - b[0] * k - c[0] * l) / a[0];
    return {h, k, l};
}

}  // namespace velor::model
