#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/geometry.hpp"

namespace velor::model {
namespace {

// A cell with b = 12 and c = 15 Å.
core::CrystalData cell(float a, float alpha, float beta, float gamma, float lambda = 0.71073f, float osf = 0.25f) {
    return {.lambda = lambda, .a = a, .b = 12.0f, .c = 15.0f, .alpha_deg = alpha, .beta_deg = beta, .gamma_deg = gamma,
            .lambda_sq = static_cast<double>(lambda) * static_cast<double>(lambda), .osf = osf, .f000 = 0, .u = 0};
}

// sin²θ = λ²/(4d²) against the d-spacings of the textbook formulas: an
// orthorhombic cell, and a monoclinic one (β = 100°) where
// 1/d² = (h²/a² + l²/c² − 2hl·cos β/(ac))/sin²β + k²/b².  The angles are
// taken in single-precision radians, so right angles are right only to
// about 10⁻⁸.
TEST(ReflectionGeometry, SinThetaOfKnownSpacings) {
    const double lambda_sq = cell(10, 90, 90, 90).lambda_sq;
    const double beta = 100.0 * M_PI / 180.0;
    const auto monoclinic = [&](double h, double k, double l) {
        return (h * h / 100.0 + l * l / 225.0 - 2.0 * h * l * std::cos(beta) / 150.0) / std::pow(std::sin(beta), 2) +
               k * k / 144.0;
    };
    const struct {
        float beta;
        int h, k, l;
        double inverse_d_sq;
    } cases[] = {
        {90, 1, 0, 0, 1.0 / 100},  {90, 0, 2, 0, 4.0 / 144},  {90, 0, 0, -3, 9.0 / 225},
        {90, 2, -1, 3, 4.0 / 100 + 1.0 / 144 + 9.0 / 225},    {100, 1, 0, 0, monoclinic(1, 0, 0)},
        {100, 1, 0, 1, monoclinic(1, 0, 1)},                  {100, -1, 0, 1, monoclinic(-1, 0, 1)},
        {100, 3, 4, -5, monoclinic(3, 4, -5)},
    };
    for (const auto& c : cases) {
        const core::CrystalData crystal = cell(10, 90, c.beta, 90);
        const GeometryOfReflections geometry(reciprocal_cell(crystal), crystal.lambda_sq);
        const Geometry g = geometry(c.h, c.k, c.l);
        EXPECT_NEAR(g.sin2, lambda_sq * c.inverse_d_sq / 4.0, 1e-7 * g.sin2) << c.beta << ": " << c.h << c.k << c.l;
        // Real indices of the same values give the same bits.
        const Geometry real = geometry(double(c.h), double(c.k), double(c.l));
        EXPECT_EQ(real.sin2, g.sin2);
        EXPECT_EQ(real.t, g.t);
    }
}

// Crystal data that are no crystal, each for its reason, the first in
// order when there are several.
TEST(ReciprocalCell, ImpossibleCrystalData) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    using enum ImpossibleCrystal;
    const struct {
        core::CrystalData crystal;
        ImpossibleCrystal why;
    } cases[] = {
        {cell(10, 90, 100, 90), none},
        {cell(0, 90, 90, 90), cell_length},
        {cell(nan, 90, 90, 90), cell_length},
        {cell(inf, 90, 90, 90), cell_length},
        {cell(-10, 0, 90, 90, 0), cell_length},
        {cell(10, 0, 90, 90), cell_angle},
        {cell(10, 90, 180, 90), cell_angle},
        {cell(10, 90, nan, 90), cell_angle},
        {cell(10, 179.9f, 90, 90, -0.71073f), wavelength},
        {cell(10, 90, 90, 90, -0.71073f), wavelength},
        {cell(10, 90, 90, 90, nan, 0), wavelength},
        {cell(10, 90, 90, 90, 0.71073f, 0), scale_factor},
        {cell(10, 90, 90, 90, 0.71073f, -inf), scale_factor},
        {cell(10, 120, 120, 120), no_volume},
        {cell(10, 60, 60, 150), no_volume},
        {cell(3e38f, 90, 90, 90), volume_out_of_range},
    };
    for (const auto& c : cases)
        EXPECT_EQ(impossibility(c.crystal), c.why) << c.crystal.a << " " << c.crystal.alpha_deg << " "
                                                   << c.crystal.beta_deg << " " << c.crystal.lambda;
}

}  // namespace
}  // namespace velor::model
