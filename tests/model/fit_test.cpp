#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "model/cholesky.hpp"
#include "model/normal_equations.hpp"
#include "model/normal_equations_kernels.hpp"
#include "model/screening.hpp"

namespace velor::model {
namespace {

// The AVX2 update against the baseline one, to the bit, for each fit size:
// a few hundred reflections of all sizes, so that the sums grow and round;
// the tails of the rows, the lower triangle and the parameters past the fit
// included.
TEST(NormalEquations, VectorUpdateGivesTheBaselineSumsBitForBit) {
    if (!kernels::avx2_supported()) GTEST_SKIP() << "no AVX2 update on this processor or in this build";
    input::CrystalData crystal;
    crystal.lambda = 0.71073f;
    crystal.lambda_sq = static_cast<double>(crystal.lambda) * static_cast<double>(crystal.lambda);
    crystal.a = 10.0f, crystal.b = 12.0f, crystal.c = 15.0f, crystal.osf = 0.25f;
    crystal.alpha_deg = 90.0f, crystal.beta_deg = 100.0f, crystal.gamma_deg = 90.0f;
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
    input::CrystalData crystal;
    crystal.lambda_sq = double(0.71073f) * double(0.71073f);
    crystal.f000 = 400.0f;
    crystal.u = 0.005f;
    input::RunParameters p;
    p.extinction_limit = static_cast<float>(0.35f * std::sqrt(0.71073f));
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
    for (const auto& c : cases) {
        const unsigned failed = screen.failed_tests(c.r, c.sin2);
        EXPECT_EQ(failed, c.failed) << c.what;
        if (failed != 0) rejections.add(failed);
    }
    // Each test counts every reflection that fails it.
    EXPECT_EQ(rejections.total(), 13);
    const std::pair<unsigned, long> by_test[] = {{kWeak, 4}, {kNoSigma, 4}, {kBelowSinMin, 2}, {kAboveSinMax, 1},
                                                 {kExtinction, 2}, {kAboveCeiling, 2}, {kNoFc, 2}};
    for (const auto& [test, count] : by_test) EXPECT_EQ(rejections.by_test(test), count) << test;
    // The intensity ceiling: Fo²/E against F(000)²/4 = 40000.
    const double e = std::exp(-(static_cast<double>(157.92f) * static_cast<double>(0.005f)) * high / crystal.lambda_sq);
    EXPECT_TRUE(screen.accepts({1, 0, 0, 100, static_cast<float>(39999.0 * e), 5}, high));
    EXPECT_FALSE(screen.accepts({1, 0, 0, 100, static_cast<float>(40001.0 * e), 5}, high));
}

// A 2×2 example (x = (0.5, 0), the factor L = (2, 0; 1, √2) below the
// diagonal, where the esds are taken from), and singular equations.
TEST(Cholesky, SolvesOrRefuses) {
    const struct { double a00, a01, a11; bool solves; } cases[] = {
        {4, 2, 3, true}, {0, 0, 0, false}, {1, 1, 1, false}, {-1, 0, 1, false}, {std::nan(""), 0, 1, false},
        {HUGE_VAL, 0, 1, false}};
    for (const auto& c : cases) {
        NormalEquations eq;
        eq.a[0][0] = c.a00;
        eq.a[0][1] = c.a01;
        eq.a[1][1] = c.a11;
        eq.b[0] = 2;
        eq.b[1] = 1;
        Solution s;
        ASSERT_EQ(cholesky_solve(eq, s, 2), c.solves) << c.a00 << " " << c.a01 << " " << c.a11;
        if (c.solves) {
            EXPECT_EQ(std::vector<double>({s.x[0], s.x[1], s.diagonal[0], s.diagonal[1], eq.a[1][0]}),
                      std::vector<double>({0.5, 0.0, 2.0, std::sqrt(2.0), 1.0}));
        }
    }
}

}  // namespace
}  // namespace velor::model
