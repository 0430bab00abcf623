#include <gtest/gtest.h>

#include <limits>

#include "model/reciprocal_cell.hpp"
#include "stops/run_stop.hpp"

namespace velor::model {
namespace {

// A monoclinic cell: λ = 0.71073 Å, a = 10, b = 12, c = 15 Å, β = 100°.
input::CrystalData monoclinic() {
    return {.lambda = 0.71073f, .a = 10.0f, .b = 12.0f, .c = 15.0f, .alpha_deg = 90.0f, .beta_deg = 100.0f,
            .gamma_deg = 90.0f, .lambda_sq = static_cast<double>(0.71073f) * static_cast<double>(0.71073f),
            .osf = 0.25f, .f000 = 0.0f, .u = 0.0f};
}

// Index products are 32-bit integers: beyond 46340² they wrap, the same
// way on every machine.
TEST(ReflectionGeometry, IndexProductsWrapIn32Bits) {
    const ReciprocalCell rc = rscell(monoclinic());
    const Geometry g = reflection_geometry(rc, 1.0, 46341, 1, 0);
    EXPECT_EQ(g.t[0], 0.25 * rc.a * rc.a * -2147479015.0);  // 46341² − 2³²
    EXPECT_EQ(g.t[3], 0.5 * rc.a * rc.b * 46341.0);
}

TEST(Rscell, ImpossibleCrystalDataStopTheRun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const char *length = "a cell length is not a number greater than zero",
               *angle = "a cell angle is not between 0 and 180 degrees", *flat = "the cell angles enclose no volume",
               *positive = "it must be a number greater than zero";
    const struct {
        float a, alpha, beta, gamma, lambda, osf;
        const char *kind, *reason;
    } cases[] = {
        {0.0f, 90, 90, 90, 0.71073f, 0.25f, "impossible unit cell", length},
        {nan, 90, 90, 90, 0.71073f, 0.25f, "impossible unit cell", length},
        {10.0f, 0, 90, 90, 0.71073f, 0.25f, "impossible unit cell", angle},
        {10.0f, 90, 180, 90, 0.71073f, 0.25f, "impossible unit cell", angle},
        {10.0f, 90, nan, 90, 0.71073f, 0.25f, "impossible unit cell", angle},
        {10.0f, 120, 120, 120, 0.71073f, 0.25f, "impossible unit cell", flat},
        {10.0f, 60, 60, 150, 0.71073f, 0.25f, "impossible unit cell", flat},
        {10.0f, 90, 90, 90, -0.71073f, 0.25f, "impossible wavelength", positive},
        {10.0f, 90, 90, 90, 0.71073f, 0.0f, "impossible overall scale factor", positive},
        {10.0f, 90, 90, 90, 0.71073f, nan, "impossible overall scale factor", positive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " " << c.alpha << " " << c.beta << " " << c.gamma);
        auto crystal = monoclinic();
        crystal.a = c.a;
        crystal.alpha_deg = c.alpha;
        crystal.beta_deg = c.beta;
        crystal.gamma_deg = c.gamma;
        crystal.lambda = c.lambda;
        crystal.osf = c.osf;
        std::string message = "accepted";
        try {
            rscell(crystal);
        } catch (const RunStop& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with(c.kind) && message.ends_with(c.reason)) << message;
    }
}

}  // namespace
}  // namespace velor::model
