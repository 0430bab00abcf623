#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "model/cholesky.hpp"
#include "model/normal_equations.hpp"
#include "model/normal_equations_kernels.hpp"
#include "model/screening.hpp"

namespace velor::model {
namespace {

input::CrystalData monoclinic() {
    return {.lambda = 0.71073f, .a = 10.0f, .b = 12.0f, .c = 15.0f, .alpha_deg = 90.0f, .beta_deg = 100.0f,
            .gamma_deg = 90.0f,
            .lambda_sq = static_cast<double>(0.71073f) * static_cast<double>(0.71073f), .osf = 0.25f, .f000 = 400.0f, .u = 0.005f};
}

input::RunParameters defaults(int terms) {
    return {.parameter_count = 6 * terms, .terms = terms, .top_power = terms - 1,
            .extinction_limit = static_cast<float>(0.35f * std::sqrt(0.71073f))};
}

TEST(NormalEquations, WorkedIncrementOfTheFlatFit) {
    auto crystal = monoclinic();
    const ReciprocalCell rc = rscell(crystal);
    const input::Reflection r{1, 2, 3, 100.0f, 90.0f, 5.0f};
    const Geometry g = reflection_geometry(rc, crystal.lambda_sq, r.h, r.k, r.l);
    ASSERT_TRUE(Screening(crystal, defaults(1)).accepts(r, g.sin2));
    NormalEquations eq;
    add_reflection(eq, r, g, crystal.lambda_sq, 1, 0);
    EXPECT_NEAR(eq.a[0][0], 5.684338, 5e-6);
    EXPECT_NEAR(eq.b[0], 42.91533, 5e-5);
    EXPECT_EQ(eq.accepted, 1);
    // Only the n×n block is touched, and only its upper triangle.
    EXPECT_EQ(eq.a[0][6], 0.0);
    EXPECT_EQ(eq.b[6], 0.0);
    EXPECT_EQ(eq.a[1][0], 0.0);
    EXPECT_NE(eq.a[0][1], 0.0);
}

// The AVX2 update against the baseline one, to the bit, for each fit size:
// a few hundred reflections of all sizes, so that the sums grow and round;
// the tails of the rows, the lower triangle and the parameters past the fit
// included.
TEST(NormalEquations, VectorUpdateGivesTheBaselineSumsBitForBit) {
    if (!kernels::avx2_supported()) GTEST_SKIP() << "no AVX2 update on this processor or in this build";
    const auto crystal = monoclinic();
    const ReciprocalCell rc = rscell(crystal);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> index(-40, 40);
    std::uniform_real_distribution<float> intensity(-50.0f, 5e5f), sigma(0.01f, 500.0f);
    for (const int terms : {1, 2, 3, 4}) {
        NormalEquations baseline, vector;
        for (int n = 0; n < 500; ++n) {
            const input::Reflection r{index(rng), index(rng), index(rng), intensity(rng), intensity(rng), sigma(rng)};
            if (r.is_terminator()) continue;
            const Geometry g = reflection_geometry(rc, crystal.lambda_sq, r.h, r.k, r.l);
            add_reflection(baseline, r, g, crystal.lambda_sq, terms, terms - 1, nullptr);
            add_reflection(vector, r, g, crystal.lambda_sq, terms, terms - 1, kernels::avx2_update(terms));
        }
        EXPECT_EQ(std::memcmp(&baseline, &vector, sizeof baseline), 0) << terms << " terms";
    }
}

TEST(Screening, EachTestAtItsBoundary) {
    auto crystal = monoclinic();
    auto p = defaults(2);
    p.sin_theta_min = 0.25f;
    p.sin_theta_max = 0.75f;
    const double s_min_sq = 0.25 * 0.25, s_max_sq = 0.75 * 0.75;
    const double b_sq = static_cast<double>(p.extinction_limit) * static_cast<double>(p.extinction_limit);
    const double high = 0.3;  // above b², inside the cut-offs
    const Screening screen(crystal, p);
    const float nan = std::nanf("");
    // The tests each reflection fails; a reflection may fail several.
    const struct { const char* what; input::Reflection r; double sin2; unsigned failed; } cases[] = {
        {"ordinary", {1, 0, 0, 100, 100, 5}, high, 0},
        {"at sin min", {1, 0, 0, 100, 100, 5}, s_min_sq, 0},
        {"below sin min", {1, 0, 0, 100, 100, 5}, std::nextafter(s_min_sq, 0.0), kBelowSinMin},
        {"at sin max", {1, 0, 0, 100, 100, 5}, s_max_sq, 0},
        {"above sin max", {1, 0, 0, 100, 100, 5}, std::nextafter(s_max_sq, 1.0), kAboveSinMax},
        {"Fo2 = OMIT sigma", {1, 0, 0, 100, 15, 5}, high, 0},
        {"Fo2 below OMIT sigma", {1, 0, 0, 100, 14.999999f, 5}, high, kWeak},
        {"negative Fo2", {1, 0, 0, 100, -1, 5}, high, kWeak},
        {"sigma 0", {1, 0, 0, 100, 100, 0}, high, kNoSigma},
        {"negative sigma", {1, 0, 0, 100, 100, -5}, high, kNoSigma},
        {"sigma 0, below sin min", {1, 0, 0, 100, 100, 0}, 0.01, kNoSigma | kBelowSinMin},
        {"low angle, Fo2 = Fc2/2", {1, 0, 0, 100, 50, 5}, b_sq, 0},
        {"low angle, Fo2 below Fc2/2", {1, 0, 0, 100, 49.999996f, 5}, b_sq, kExtinction},
        {"high angle, weak Fo2", {1, 0, 0, 100, 20, 5}, std::nextafter(b_sq, 1.0), 0},
        {"ceiling: Fo2/E far above F000^2/4", {1, 0, 0, 100, 50000, 5}, high, kAboveCeiling},
        // A value that is not a number fails every test it meets.
        {"NaN Fo2", {1, 0, 0, 100, nan, 5}, high, kWeak | kAboveCeiling},
        {"NaN sigma", {1, 0, 0, 100, 100, nan}, high, kWeak | kNoSigma},
        {"NaN Fc2 at high angle", {1, 0, 0, nan, 100, 5}, high, kNoFc},
        {"infinite Fc2 at low angle", {1, 0, 0, HUGE_VALF, 100, 5}, b_sq, kNoFc | kExtinction},
    };
    Rejections rejections;
    long accepted = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const unsigned failed = screen.failed_tests(c.r, c.sin2);
        EXPECT_EQ(failed, c.failed);
        if (failed != 0) rejections.add(failed);
        else ++accepted;
    }
    // The counts: each test counts every reflection that fails it, and read
    // = accepted + rejected.
    EXPECT_EQ(accepted, 6);
    EXPECT_EQ(rejections.total(), 13);
    const std::pair<unsigned, long> by_test[] = {{kWeak, 4}, {kNoSigma, 4}, {kBelowSinMin, 2}, {kAboveSinMax, 1},
                                                 {kExtinction, 2}, {kAboveCeiling, 2}, {kNoFc, 2}};
    for (const auto& [test, count] : by_test) EXPECT_EQ(rejections.by_test(test), count) << test;
    // The intensity ceiling: Fo²/E against F(000)²/4 = 40000.
    const double e = std::exp(-(static_cast<double>(157.92f) * static_cast<double>(0.005f)) * high / crystal.lambda_sq);
    const auto below = static_cast<float>(39999.0 * e), above = static_cast<float>(40001.0 * e);
    EXPECT_TRUE(screen.accepts({1, 0, 0, 100, below, 5}, high));
    EXPECT_FALSE(screen.accepts({1, 0, 0, 100, above, 5}, high));
}

TEST(Cholesky, DiagonalMatrix) {
    NormalEquations eq;
    for (std::size_t i = 0; i < 6; ++i) {
        eq.a[i][i] = static_cast<double>((i + 1) * (i + 1));
        eq.b[i] = eq.a[i][i];
    }
    Solution s;
    ASSERT_TRUE(cholesky_solve(eq, s, 6));
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(s.x[i], 1.0);
        EXPECT_EQ(s.diagonal[i], static_cast<double>(i + 1));
    }
    EXPECT_EQ(s.x[6], 0.0);
}

TEST(Cholesky, TwoByTwoExampleLeavesTheUpperTriangleAlone) {
    NormalEquations eq;
    eq.a[0][0] = 4;
    eq.a[0][1] = 2;
    eq.a[1][1] = 3;
    eq.a[2][2] = 7;  // outside the block: untouched
    eq.b[0] = 2;
    eq.b[1] = 1;
    Solution s;
    ASSERT_TRUE(cholesky_solve(eq, s, 2));
    EXPECT_EQ(s.diagonal[0], 2.0);
    EXPECT_EQ(s.diagonal[1], std::sqrt(2.0));
    EXPECT_EQ(eq.a[1][0], 1.0);  // L(2,1)
    EXPECT_EQ(s.x[0], 0.5);
    EXPECT_EQ(s.x[1], 0.0);
    EXPECT_EQ(eq.a[0][0], 4.0);
    EXPECT_EQ(eq.a[0][1], 2.0);
    EXPECT_EQ(eq.a[1][1], 3.0);
    EXPECT_EQ(eq.a[2][2], 7.0);
    EXPECT_EQ(s.diagonal[2], 0.0);
}

TEST(Cholesky, SingularEquationsAreRefused) {
    const struct { const char* what; double a00, a01, a11; } cases[] = {
        {"empty", 0, 0, 0}, {"rank one", 1, 1, 1}, {"negative pivot", -1, 0, 1}, {"NaN", std::nan(""), 0, 1},
        {"infinite", HUGE_VAL, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NormalEquations eq;
        eq.a[0][0] = c.a00;
        eq.a[0][1] = c.a01;
        eq.a[1][1] = c.a11;
        Solution s;
        EXPECT_FALSE(cholesky_solve(eq, s, 2));
    }
}

}  // namespace
}  // namespace velor::model
