#include <gtest/gtest.h>

#include <limits>

#include "model/reciprocal_cell.hpp"
#include "stops/run_stop.hpp"
#include "textio/errors.hpp"

namespace velor::model {
namespace {

// A monoclinic cell: λ = 0.71073 Å, a = 10, b = 12, c = 15 Å, β = 100°.
input::CrystalData monoclinic() {
    input::CrystalData c;
    c.lambda = 0.71073f;
    c.lambda_sq = static_cast<double>(c.lambda) * static_cast<double>(c.lambda);
    c.a = 10.0f;
    c.b = 12.0f;
    c.c = 15.0f;
    c.alpha_deg = 90.0f;
    c.beta_deg = 100.0f;
    c.gamma_deg = 90.0f;
    c.osf = 0.25f;
    return c;
}

void expect_rel(double actual, double expected, double tolerance = 1e-6) {
    EXPECT_NEAR(actual, expected, std::abs(expected) * tolerance) << "expected " << expected;
}

TEST(Rscell, MonoclinicReciprocalCell) {
    auto crystal = monoclinic();
    const ReciprocalCell rc = rscell(crystal);
    expect_rel(rc.a, 0.1015427);
    expect_rel(rc.b, 0.0833333);
    expect_rel(rc.c, 0.0676951);
    expect_rel(rc.cos_beta, 0.1736482);
    // cos of the single-precision 90° in radians is about -4.4e-8, not 0.
    EXPECT_GT(std::abs(rc.cos_alpha), 1e-8);
    EXPECT_LT(std::abs(rc.cos_alpha), 1e-7);
    EXPECT_EQ(rc.cos_alpha, rc.cos_gamma);
}

TEST(Rscell, ImpossibleCrystalDataStopTheRun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float a, alpha, beta, gamma, lambda, osf;
        const char* message;  // how the stop message begins
    };
    const Case cases[] = {
        {0.0f, 90, 90, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {-5.0f, 90, 90, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 0, 90, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 90, 180, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 90, 181.234f, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 90, nan, 90, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 120, 120, 120, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 60, 60, 150, 0.71073f, 0.25f, "impossible unit cell"},
        {10.0f, 90, 90, 90, -0.71073f, 0.25f, "impossible wavelength"},
        {10.0f, 90, 90, 90, 0.71073f, 0.0f, "impossible overall scale factor"},
        {10.0f, 90, 90, 90, 0.71073f, nan, "impossible overall scale factor"},
    };
    for (const Case& c : cases) {
        auto crystal = monoclinic();
        crystal.a = c.a;
        crystal.alpha_deg = c.alpha;
        crystal.beta_deg = c.beta;
        crystal.gamma_deg = c.gamma;
        crystal.lambda = c.lambda;
        crystal.osf = c.osf;
        try {
            rscell(crystal);
            ADD_FAILURE() << "accepted a = " << c.a << " angles " << c.alpha << " " << c.beta << " " << c.gamma;
        } catch (const RunStop& e) {
            EXPECT_EQ(e.exit_status(), 1);
            EXPECT_TRUE(std::string(e.what()).starts_with(c.message)) << e.what();
        }
    }
}

TEST(ReflectionGeometry, MonoclinicExample) {
    auto crystal = monoclinic();
    const ReciprocalCell rc = rscell(crystal);
    const Geometry g = reflection_geometry(rc, crystal.lambda_sq, 1, 2, 3);
    const double t[6] = {0.002577728, 0.006944444, 0.01031091, 0.008461888, 0.01031091, 0.01692378};
    for (int j = 0; j < 6; ++j) expect_rel(g.t[static_cast<std::size_t>(j)], t[j]);
    expect_rel(g.sin2, 0.01092286);
    // T4 and T5 change sign with h; sin²θ falls.
    expect_rel(reflection_geometry(rc, crystal.lambda_sq, -1, 2, 3).sin2, 0.00911399);
    // (1,0,0): sin²θ = λ²a*²/4, so d = 1/a*.
    const Geometry g100 = reflection_geometry(rc, crystal.lambda_sq, 1, 0, 0);
    EXPECT_DOUBLE_EQ(g100.sin2, g100.t[0] * crystal.lambda_sq);
}

// Index products are 32-bit integers: beyond 46340² they wrap, the same
// way on every machine.
TEST(ReflectionGeometry, IndexProductsWrapIn32Bits) {
    const ReciprocalCell rc = rscell(monoclinic());
    const Geometry g = reflection_geometry(rc, 1.0, 46341, 1, 0);
    EXPECT_EQ(g.t[0], 0.25 * rc.a * rc.a * -2147479015.0);  // 46341² − 2³²
    EXPECT_EQ(g.t[3], 0.5 * rc.a * rc.b * 46341.0);
}

}  // namespace
}  // namespace velor::model
