#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/screening.hpp"

namespace velor::model {
namespace {

// S that is not a positive number is counted, and the smallest noted with
// its indices; one that is not a number only until a number turns up.  (The
// golden runs have the range of S and negative intensities in R.)
TEST(Statistics, UnphysicalScaleFactors) {
    Statistics st;
    const double nan = std::nan("");
    const struct { core::Reflection r; double s; } seen[] = {
        {{1, 0, 0, 1, 1, 1}, 0.9}, {{2, 0, 0, 1, 1, 1}, nan}, {{3, 0, 0, 1, 1, 1}, -0.2},
        {{4, 0, 0, 1, 1, 1}, 0.0}, {{5, 0, 0, 1, 1, 1}, -0.1}, {{6, 0, 0, 1, 1, 1}, HUGE_VAL}};
    for (const auto& c : seen) add_to_statistics(st, c.r, correct(c.r, c.s, 1.0), 1.0f);
    EXPECT_EQ(st.unphysical.count, 5);
    EXPECT_EQ(st.unphysical.smallest, -0.2);
    EXPECT_EQ(st.unphysical.h, 3);
}

// The resolution shells of the summary split the report's R sums: over
// the shells they add up to the report's totals, before and after the
// correction, and every reflection is in one shell.
TEST(Diagnostics, ShellSumsAddUpToTheReportTotals) {
    const core::CrystalData crystal{.lambda = 0.71073f, .a = 8.3f, .b = 10.1f, .c = 13.9f, .alpha_deg = 90.0f,
                                    .beta_deg = 103.0f, .gamma_deg = 90.0f,
                                    .lambda_sq = double(0.71073f) * double(0.71073f), .osf = 0.8f, .f000 = 900.0f,
                                    .u = 0.005f};
    const ReciprocalCell rc = reciprocal_cell(crystal);
    const GeometryOfReflections geometry(rc, crystal.lambda_sq);
    core::FitResult fit;
    fit.x = {0.9, 1.1, 1.0, 0.0, 0.0, 0.0, 0.02, -0.01, 0.01};
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> index(-15, 15);
    std::uniform_real_distribution<float> intensity(0.0f, 2000.0f);
    std::vector<core::Reflection> list;
    ListExtent extent;
    while (list.size() < 2000) {
        list.push_back({index(rng), index(rng), index(rng) | 1, intensity(rng), intensity(rng), 5.0f});
        extent.add(geometry(list.back().h, list.back().k, list.back().l).sin2);
    }
    const Screening screening(crystal, core::RunParameters{});
    Diagnostics diagnostics(extent);
    Corrector corrector(crystal, ScaleModel(2, crystal.lambda_sq), rc, fit);
    for (const core::Reflection& r : list) {
        Geometry g;
        RContribution share{};
        const CorrectedReflection c = corrector.apply(r, g, share);
        diagnostics.add(r, g, c, share, screening.accepts(r, g.sin2));
    }
    long count = 0;
    std::array<double, 4> sums{};  // before: numerator, denominator; after: the same
    for (const ResolutionShell& shell : diagnostics.shells()) {
        count += shell.count;
        const std::array<double, 4> of_shell{shell.n_before, shell.d_before, shell.n_after, shell.d_after};
        for (std::size_t i = 0; i < 4; ++i) sums[i] += of_shell[i];
    }
    const Statistics& st = corrector.statistics();
    EXPECT_EQ(count, 2000);
    const std::array<double, 4> totals{st.n_before, st.d_before, st.n_after, st.d_after};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(sums[i], totals[i], 1e-12 * totals[i]) << i;
    EXPECT_GT(std::fabs(st.n_after - st.n_before), 1e-3 * st.n_before) << "a correction that changes R";
}

}  // namespace
}  // namespace velor::model
