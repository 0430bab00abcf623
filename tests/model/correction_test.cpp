#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/correction.hpp"
#include "model/diagnostics.hpp"

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
    const core::RunParameters parameters;  // the default screening
    const ReciprocalCell rc = reciprocal_cell(crystal);
    const ScaleModel model(2, crystal.lambda_sq);
    core::FitResult fit;
    fit.x[0] = 0.9, fit.x[1] = 1.1, fit.x[2] = 1.0, fit.x[6] = 0.02, fit.x[7] = -0.01, fit.x[8] = 0.01;
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> index(-15, 15);
    std::uniform_real_distribution<float> intensity(0.0f, 2000.0f);
    std::vector<core::Reflection> list;
    ListExtent extent;
    const GeometryOfReflections geometry(rc, crystal.lambda_sq);
    while (list.size() < 2000) {
        const core::Reflection r{index(rng), index(rng), index(rng), intensity(rng), intensity(rng), 5.0f};
        if (r.is_terminator()) continue;
        list.push_back(r);
        extent.add(geometry(r.h, r.k, r.l).sin2);
    }
    const Screening screening(crystal, parameters);
    Diagnostics diagnostics(extent, screening);
    Corrector corrector(crystal, model, rc, fit);
    for (const core::Reflection& r : list) {
        Geometry g;
        RContribution share{};
        const CorrectedReflection c = corrector.apply(r, g, share);
        diagnostics.add(r, g, c, share);
    }
    long count = 0;
    double n_before = 0.0, d_before = 0.0, n_after = 0.0, d_after = 0.0;
    for (const ResolutionShell& shell : diagnostics.shells()) {
        count += shell.count;
        n_before += shell.n_before, d_before += shell.d_before;
        n_after += shell.n_after, d_after += shell.d_after;
    }
    const Statistics& st = corrector.statistics();
    EXPECT_EQ(count, 2000);
    EXPECT_NEAR(n_before, st.n_before, 1e-12 * st.n_before);
    EXPECT_NEAR(d_before, st.d_before, 1e-12 * st.d_before);
    EXPECT_NEAR(n_after, st.n_after, 1e-12 * st.n_after);
    EXPECT_NEAR(d_after, st.d_after, 1e-12 * st.d_after);
    EXPECT_GT(std::fabs(st.n_after - st.n_before), 1e-3 * st.n_before) << "a correction that changes R";
}

}  // namespace
}  // namespace velor::model
