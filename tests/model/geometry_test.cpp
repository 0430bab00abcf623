#include <gtest/gtest.h>

#include <limits>

#include "model/reciprocal_cell.hpp"
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
    c.alpha = 90.0f;
    c.beta = 100.0f;
    c.gamma = 90.0f;
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
    // The angles are left in radians, rounded to single precision.
    EXPECT_EQ(crystal.beta, 1.74532926f);
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
        crystal.alpha = c.alpha;
        crystal.beta = c.beta;
        crystal.gamma = c.gamma;
        crystal.lambda = c.lambda;
        crystal.osf = c.osf;
        try {
            rscell(crystal);
            ADD_FAILURE() << "accepted a = " << c.a << " angles " << c.alpha << " " << c.beta << " " << c.gamma;
        } catch (const textio::RunStop& e) {
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

TEST(BasisFunctions, FlatAndCubicFits) {
    auto crystal = monoclinic();
    const ReciprocalCell rc = rscell(crystal);
    const Geometry g = reflection_geometry(rc, crystal.lambda_sq, 1, 2, 3);
    const auto flat = basis_functions(g, 1, 0);
    const double expected[6] = {0.2359938, 0.6357715, 0.9439753, 0.7746952, 0.9439753, 1.549390};
    for (int j = 0; j < 6; ++j) expect_rel(flat[static_cast<std::size_t>(j)], expected[j]);
    EXPECT_EQ(flat[6], 0.0);

    const auto cubic = basis_functions(g, 4, 3);
    expect_rel(cubic[0], 3.075459e-7);
    expect_rel(cubic[6], 2.815617e-5);
    EXPECT_EQ(cubic[12], g.t[0]);  // power 0 is exactly 1
    expect_rel(cubic[18], 0.2359938);

    // The flat basis depends on the direction only.
    const auto flat200 = basis_functions(reflection_geometry(rc, crystal.lambda_sq, 2, 0, 0), 1, 0);
    const auto flat100 = basis_functions(reflection_geometry(rc, crystal.lambda_sq, 1, 0, 0), 1, 0);
    EXPECT_DOUBLE_EQ(flat200[0], flat100[0]);
}

}  // namespace
}  // namespace velor::model
