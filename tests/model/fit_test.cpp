#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/single_precision.hpp"
#include "model/cholesky.hpp"
#include "model/cross_validation.hpp"
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
    core::CrystalData crystal;
    crystal.lambda = 0.71073f;
    crystal.lambda_sq = static_cast<double>(crystal.lambda) * static_cast<double>(crystal.lambda);
    crystal.a = 10.0f, crystal.b = 12.0f, crystal.c = 15.0f, crystal.osf = 0.25f;
    crystal.alpha_deg = 90.0f, crystal.beta_deg = 100.0f, crystal.gamma_deg = 90.0f;
    const GeometryOfReflections geometry(reciprocal_cell(crystal), crystal.lambda_sq);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> index(-40, 40);
    std::uniform_real_distribution<float> intensity(-50.0f, 5e5f), sigma(0.01f, 500.0f);
    for (const int terms : {1, 2, 3, 4}) {
        const ScaleModel model(terms, crystal.lambda_sq);
        NormalEquations baseline, vector;
        for (int n = 0; n < 500; ++n) {
            const core::Reflection r{index(rng), index(rng), index(rng), intensity(rng), intensity(rng), sigma(rng)};
            if (r.is_terminator()) continue;
            const Geometry g = geometry(r.h, r.k, r.l);
            add_reflection(baseline, model, r, g, nullptr);
            add_reflection(vector, model, r, g, kernels::avx2_update(terms));
        }
        EXPECT_EQ(std::memcmp(&baseline, &vector, sizeof baseline), 0) << terms << " terms";
    }
    // And the cross-validation folds' compact sums.
    CompactSums baseline, vector;
    for (int n = 0; n < 500; ++n) {
        const core::Reflection r{index(rng), index(rng), index(rng), intensity(rng), intensity(rng), sigma(rng)};
        if (r.is_terminator()) continue;
        const FoldShare share = fold_share(r, geometry(r.h, r.k, r.l), crystal.lambda_sq);
        add_share(baseline, share);
        kernels::avx2_fold_update()(vector, share);
    }
    EXPECT_EQ(std::memcmp(&baseline.a, &vector.a, sizeof baseline.a), 0) << "fold sums";
    EXPECT_EQ(std::memcmp(&baseline.b, &vector.b, sizeof baseline.b), 0) << "fold sums";
}

TEST(Screening, EachTestAtItsBoundary) {
    core::CrystalData crystal;
    crystal.lambda_sq = double(0.71073f) * double(0.71073f);
    crystal.f000 = 400.0f;
    crystal.u = 0.005f;
    core::RunParameters p;
    p.extinction_limit = core::single::extinction_limit(0.71073f);
    p.sin_theta_min = 0.25f;
    p.sin_theta_max = 0.75f;
    const double s_min_sq = 0.25 * 0.25, s_max_sq = 0.75 * 0.75;
    const double b_sq = static_cast<double>(p.extinction_limit) * static_cast<double>(p.extinction_limit);
    const double high = 0.3;  // above b², inside the cut-offs
    const Screening screen(crystal, p);
    const float nan = std::nanf("");
    // The tests each reflection fails; a reflection may fail several.
    const struct { const char* what; core::Reflection r; double sin2; unsigned failed; } cases[] = {
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
    EXPECT_EQ(screen.failed_tests({1, 0, 0, 100, static_cast<float>(39999.0 * e), 5}, high), 0u);
    EXPECT_EQ(screen.failed_tests({1, 0, 0, 100, static_cast<float>(40001.0 * e), 5}, high), kAboveCeiling);
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
        core::FitResult s;
        ASSERT_EQ(cholesky_solve(eq, s, 2), c.solves) << c.a00 << " " << c.a01 << " " << c.a11;
        if (c.solves) {
            EXPECT_EQ(std::vector<double>({s.x[0], s.x[1], s.diagonal[0], s.diagonal[1], eq.a[1][0]}),
                      std::vector<double>({0.5, 0.0, 2.0, std::sqrt(2.0), 1.0}));
        }
    }
}

// The standard uncertainties come from the diagonal of A⁻¹; here against
// A⁻¹ itself, column by column.  Column p solves A·c = e_p (by the factor's
// two substitutions, a path of its own), which is checked by multiplying
// back, and its p-th element is (A⁻¹)ₚₚ.  Normal matrices of the four fit
// sizes, sums of random rows whose columns differ in scale as the powers
// of sin²θ make them differ.
TEST(Cholesky, InverseDiagonalAgainstTheInverse) {
    std::mt19937 rng(17);
    std::normal_distribution<double> normal;
    for (const std::size_t n : {6u, 12u, 18u, 24u}) {
        SCOPED_TRACE(n);
        NormalEquations eq;
        for (std::size_t row = 0; row < 3 * n; ++row) {
            std::array<double, core::kMaxParameters> v{};
            for (std::size_t p = 0; p < n; ++p) v[p] = normal(rng) * std::pow(10.0, double(p / 6) - 2.0);
            for (std::size_t p = 0; p < n; ++p)
                for (std::size_t q = p; q < n; ++q) eq.a[p][q] += v[p] * v[q];
        }
        NormalEquations factor = eq;
        core::FitResult fit;
        ASSERT_TRUE(cholesky_solve(factor, fit, int(n)));
        const auto diagonal = inverse_diagonal(factor, fit, int(n));
        for (std::size_t p = 0; p < n; ++p) {
            NormalEquations unit = eq;
            unit.b = {};
            unit.b[p] = 1.0;
            core::FitResult column;
            ASSERT_TRUE(cholesky_solve(unit, column, int(n)));
            for (std::size_t i = 0; i < n; ++i) {
                double product = 0.0, size = 0.0;
                for (std::size_t j = 0; j < n; ++j) {
                    const double a_ij = i <= j ? eq.a[i][j] : eq.a[j][i];
                    product += a_ij * column.x[j];
                    size += std::fabs(a_ij * column.x[j]);
                }
                ASSERT_NEAR(product, i == p ? 1.0 : 0.0, 1e-10 * size) << "row " << i << " of column " << p;
            }
            EXPECT_NEAR(diagonal[p], column.x[p], 1e-9 * column.x[p]) << "column " << p;
        }
    }
}

}  // namespace
}  // namespace velor::model
