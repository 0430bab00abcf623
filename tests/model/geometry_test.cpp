#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/geometry.hpp"

namespace velor::model {
namespace {

// sin²θ = λ²/(4d²) against the d-spacings of the textbook formulas: an
// orthorhombic cell (10, 12, 15 Å), and a monoclinic one (β = 100°) where
// 1/d² = (h²/a² + l²/c² − 2hl·cos β/(ac))/sin²β + k²/b².  The angles are
// taken in single-precision radians, so right angles are right only to
// about 10⁻⁸.  Real indices of the same values give the same bits.
TEST(ReflectionGeometry, SinThetaOfKnownSpacings) {
    const auto monoclinic = [](double h, double k, double l) {
        const double beta = 100.0 * std::numbers::pi / 180.0;
        return (h * h / 100 + l * l / 225 - 2 * h * l * std::cos(beta) / 150) / std::pow(std::sin(beta), 2) +
               k * k / 144;
    };
    const struct {
        float beta;
        int h, k, l;
        double inverse_d_sq;
    } cases[] = {
        {90, 1, 0, 0, 1.0 / 100},  {90, 0, 2, 0, 4.0 / 144},  {90, 0, 0, -3, 9.0 / 225},
        {90, 2, -1, 3, 4.0 / 100 + 1.0 / 144 + 9.0 / 225},    {100, 1, 0, 1, monoclinic(1, 0, 1)},
        {100, -1, 0, 1, monoclinic(-1, 0, 1)},                {100, 3, 4, -5, monoclinic(3, 4, -5)},
    };
    for (const auto& c : cases) {
        const core::CrystalData crystal{.lambda = 0.71073f, .a = 10, .b = 12, .c = 15, .alpha_deg = 90,
                                        .beta_deg = c.beta, .gamma_deg = 90,
                                        .lambda_sq = double(0.71073f) * double(0.71073f), .osf = 1, .f000 = 0, .u = 0};
        const GeometryOfReflections geometry(reciprocal_cell(crystal), crystal.lambda_sq);
        const Geometry g = geometry(c.h, c.k, c.l), real = geometry(double(c.h), double(c.k), double(c.l));
        EXPECT_NEAR(g.sin2, crystal.lambda_sq * c.inverse_d_sq / 4, 1e-7 * g.sin2) << c.beta << ": " << c.h << c.k << c.l;
        EXPECT_EQ(real.sin2, g.sin2);
        EXPECT_EQ(real.t, g.t);
    }
}

}  // namespace
}  // namespace velor::model
