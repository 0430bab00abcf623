#include "model/correction_surface.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace velor::model {
namespace {

// Points of the map and the directions they stand for: equal areas hold
// equal solid angles, so the circle of radius √½ (half the disc) is the
// cone of 60° about the pole (half the hemisphere).
TEST(CorrectionSurface, EqualAreaMap) {
    const struct {
        double x, y;
        Vector3 direction;
    } cases[] = {{0.0, 0.0, {0.0, 0.0, 1.0}},
                 {1.0, 0.0, {1.0, 0.0, 0.0}},
                 {0.0, -1.0, {0.0, -1.0, 0.0}},
                 {std::sqrt(0.5), 0.0, {std::sqrt(0.75), 0.0, 0.5}},
                 {-0.6, 0.0, {-0.6 * std::sqrt(1.64), 0.0, 0.64}}};
    for (const auto& c : cases) {
        const Vector3 u = lambert_direction(c.x, c.y);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(u[i], c.direction[i], 1e-15) << c.x << " " << c.y;
        // Back to the map, from either of ±u.
        for (double sign : {1.0, -1.0}) {
            const auto [x, y] = lambert_point({sign * u[0], sign * u[1], sign * u[2]});
            if (u[2] == 0.0 && sign < 0.0) continue;  // the rim: −u is the opposite point
            EXPECT_NEAR(x, c.x, 1e-15);
            EXPECT_NEAR(y, c.y, 1e-15);
        }
    }
}

// In the direction of a reflection, at its sin θ, the real indices are the
// reflection's own (or their negatives) and the geometry is its geometry:
// the Cartesian axes agree with the metric of the reciprocal cell.
TEST(CorrectionSurface, DirectionOfAReflectionGivesItsGeometry) {
    core::CrystalData crystal;
    crystal.lambda = 1.54184f;
    crystal.lambda_sq = static_cast<double>(crystal.lambda) * static_cast<double>(crystal.lambda);
    crystal.a = 7.1f, crystal.b = 9.3f, crystal.c = 11.7f;
    crystal.alpha_deg = 78.0f, crystal.beta_deg = 95.5f, crystal.gamma_deg = 104.2f;
    crystal.osf = 1.0f;
    const ReciprocalCell rc = reciprocal_cell(crystal);
    const GeometryOfReflections geometry(rc, crystal.lambda_sq);
    const auto axes = reciprocal_axes(rc);
    for (const auto& [h, k, l] : {std::array{1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {3, -2, 5}, {-4, 7, 1}}) {
        const Geometry g = geometry(h, k, l);
        Vector3 u{};
        for (std::size_t i = 0; i < 3; ++i) u[i] = h * axes[0][i] + k * axes[1][i] + l * axes[2][i];
        const double length = std::hypot(u[0], u[1], u[2]);
        for (double& v : u) v /= length;
        const auto [x, y] = lambert_point(u);
        const Vector3 hkl = indices_along(rc, lambert_direction(x, y), std::sqrt(g.sin2), crystal.lambda);
        EXPECT_NEAR(std::fabs(hkl[0]), std::abs(h), 1e-12);
        EXPECT_NEAR(std::fabs(hkl[1]), std::abs(k), 1e-12);
        EXPECT_NEAR(std::fabs(hkl[2]), std::abs(l), 1e-12);
        const Geometry d = geometry(hkl[0], hkl[1], hkl[2]);
        for (std::size_t j = 0; j < 6; ++j) EXPECT_NEAR(d.t[j], g.t[j], 1e-12);
        EXPECT_NEAR(d.sin2, g.sin2, 1e-12);
    }
}

}  // namespace
}  // namespace velor::model
