// The figures that say whether to believe a correction, against the truth
// that velor-gen put into the data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "measured_run.hpp"
#include "model/correction_surface.hpp"

namespace velor::testing {
namespace {

using Options = std::vector<std::string>;

// σ(S) from one data set against the spread of S over data sets that differ
// only in their noise: the standard deviation of S over 30 noise seeds at 30
// reflections of the list, over the σ(S) the fits gave (their mean).  The
// errors are twice the σ(Fo²) the files state, so that the goodness of fit,
// about 2, must enter the covariance.  With 30 seeds a single ratio scatters
// by about 13 %; their median by less.
TEST(ScaleUncertainty, AgreesWithTheSpreadOverNoiseSeeds) {
    for (const std::string fit : {"L", "C"}) {
        constexpr int kSeeds = 30;
        std::vector<model::Geometry> probes;
        std::vector<std::vector<double>> s;
        std::vector<double> sigma;
        for (int seed = 0; seed < kSeeds; ++seed) {
            const GeneratedData data = generate({"--system", "triclinic", "--reflections", "300", "--noise", "2",
                                                 "--fit", fit, "--seed", "5", "--noise-seed", std::to_string(seed)});
            const auto run = measure(data, fit[0]);
            if (probes.empty()) {
                const model::GeometryOfReflections geometry(run->rc, data.crystal.lambda_sq);
                for (std::size_t i = 0; i < data.reflections.size(); i += 10)
                    probes.push_back(geometry(data.reflections[i].h, data.reflections[i].k, data.reflections[i].l));
                s.resize(probes.size());
                sigma.assign(probes.size(), 0.0);
            }
            for (std::size_t i = 0; i < probes.size(); ++i) {
                s[i].push_back(run->model().evaluate(probes[i], run->fit.x));
                sigma[i] += std::sqrt(run->variance_factor() * run->variance->unit_variance(probes[i])) / kSeeds;
            }
        }
        std::vector<double> ratios;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            double mean = 0.0, sum_sq = 0.0;
            for (double v : s[i]) mean += v / kSeeds;
            for (double v : s[i]) sum_sq += (v - mean) * (v - mean);
            ratios.push_back(std::sqrt(sum_sq / (kSeeds - 1)) / sigma[i]);
        }
        std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
        const double median = ratios[ratios.size() / 2];
        EXPECT_GT(median, 0.8) << fit;
        EXPECT_LT(median, 1.2) << fit;
    }
}

// The unique reflections of a crystal's Laue class sample a part of the
// hemisphere.  For the monoclinic class (b unique), with h and −h taken as
// one, the indices k ≥ 0 and l ≥ 0 give the directions y ≥ 0 of the upper
// hemisphere; those with y < 0 lie on the far side of the plane y = 0 (and,
// across the rim, near directions of y > 0).  A triclinic list samples every
// direction.
TEST(DirectionCoverage, SamplesTheDirectionsOfTheAsymmetricUnitOnly) {
    const struct {
        Options options;
        double share_low, share_high;
    } cases[] = {
        {{"--system", "monoclinic", "--reflections", "350"}, 0.6, 0.8},
        {{"--system", "monoclinic", "--dmin", "0.8"}, 0.52, 0.62},
        {{"--system", "triclinic", "--reflections", "350"}, 0.99, 1.0},
    };
    for (const auto& c : cases) {
        Options options = c.options;
        options.insert(options.end(), {"--noise", "1", "--fit", "F"});
        const auto run = measure(generate(options), 'F');
        const model::Coverage coverage(*run->directions);
        const bool monoclinic = c.options[1] == "monoclinic";
        constexpr int kSize = 64;
        const std::vector<std::uint8_t> mask = coverage.mask(kSize);
        const double beyond = std::sin(coverage.angle() + std::numbers::pi / 180.0);
        const model::SurfaceGrid grid{kSize, 0.0, {}};
        int wrong = 0;
        for (int row = 0; row < kSize; ++row) {
            for (int column = 0; column < kSize; ++column) {
                const double x = grid.x_of(column), y = grid.y_of(row);
                if (x * x + y * y > 1.0) continue;
                const model::Vector3 u = model::lambert_direction(x, y);
                const bool sampled = mask[static_cast<std::size_t>(row * kSize + column)] != 0;
                const bool in_the_unit = !monoclinic || u[1] >= 0.0;
                const bool far_from_it = monoclinic && u[1] < -beyond && u[2] > beyond;
                if ((in_the_unit && !sampled) || (far_from_it && sampled)) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << c.options[1] << " " << c.options[3];
        EXPECT_GE(coverage.sampled_share(), c.share_low) << c.options[3];
        EXPECT_LE(coverage.sampled_share(), c.share_high) << c.options[3];
    }
}

// Cross-validation against the fit's own R: 24 parameters on 350
// reflections (the unique reflections of a monoclinic crystal, like a small
// real data set) fit part of the noise, and the reflections left out show
// it; 6 parameters on 4,000 reflections predict the left-out ones as well as
// their own.
TEST(CrossValidation, ShowsTheOverFitOfManyParametersOnFewReflections) {
    const struct {
        Options options;
        char fit;
        double ratio_low, ratio_high;  // cross-validated R after over the run's
    } cases[] = {
        {{"--system", "monoclinic", "--reflections", "350", "--fit", "L"}, 'C', 1.05, 1.5},
        {{"--system", "monoclinic", "--dmin", "0.8", "--fit", "F"}, 'F', 0.99, 1.01},
    };
    for (const auto& c : cases) {
        Options options = c.options;
        options.insert(options.end(), {"--noise", "1"});
        const auto run = measure(generate(options), c.fit);
        const model::FitTypeFigures& figures = run->figures[static_cast<std::size_t>(run->parameters.terms - 1)];
        ASSERT_TRUE(figures.cross_validated);
        const double r_after = run->statistics.n_after / run->statistics.d_after;
        EXPECT_GT(figures.cross_validated->r_after / r_after, c.ratio_low) << c.fit;
        EXPECT_LT(figures.cross_validated->r_after / r_after, c.ratio_high) << c.fit;
        EXPECT_GT(figures.cross_validated->chi_squared, figures.chi_squared) << c.fit;
    }
}

// The fit types solved from the summed fold sums are the runs' own fits, to
// rounding: S of every reflection within 10⁻¹⁰.
TEST(CrossValidation, NestedFitTypesAreEachFitTypesOwnFit) {
    const GeneratedData data = generate({"--system", "triclinic", "--reflections", "2000", "--noise", "1", "--fit", "C"});
    for (const char letter : {'F', 'L', 'Q', 'C'}) {
        const auto run = measure(data, letter);
        const model::FitTypeSolution& nested = run->fit_types[static_cast<std::size_t>(run->parameters.terms - 1)];
        ASSERT_TRUE(nested.solved && nested.cross_validated) << letter;
        const model::GeometryOfReflections geometry(run->rc, data.crystal.lambda_sq);
        double worst = 0.0;
        for (const core::Reflection& r : data.reflections) {
            const model::Geometry g = geometry(r.h, r.k, r.l);
            const double own = run->model().evaluate(g, run->fit.x);
            worst = std::max(worst, std::fabs(run->model().evaluate(g, nested.fit.x) / own - 1.0));
        }
        EXPECT_LT(worst, 1e-10) << letter;
    }
}

// The displacement-like part of S against the truth.  Data whose true scale
// depends on direction alone give none; data weakened by an overall
// anisotropic displacement exp(−4π²·hᵀΔU h) give it back within 10 % (of the
// tensor's norm), by each fit type that has terms in sin²θ.
TEST(DisplacementSplit, RecoversAnOverallDisplacementAndNoneFromAFlatTruth) {
    const std::array<double, 6> kDeltaU{0.010, 0.006, 0.004, 0.002, -0.001, 0.0015};
    const GeneratedData flat = generate({"--system", "monoclinic", "--dmin", "0.8", "--noise", "1", "--fit", "F"});
    const GeneratedData displaced = generate({"--system", "monoclinic", "--dmin", "0.8", "--noise", "1", "--delta-u",
                                              "0.010,0.006,0.004,0.002,-0.001,0.0015"});
    const auto norm = [](const std::array<double, 6>& u) {
        return std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2] + 2.0 * (u[3] * u[3] + u[4] * u[4] + u[5] * u[5]));
    };
    const struct {
        const GeneratedData& data;
        std::array<double, 6> truth;
        double tolerance;  // of the norm of the difference, Å²
        double share_low, share_high;
    } cases[] = {
        {flat, {}, 0.0005, 0.0, 0.01},
        {displaced, kDeltaU, 0.1 * norm(kDeltaU), 0.99, 1.0},
    };
    for (const auto& c : cases) {
        const auto run = measure(c.data, 'C');
        for (int terms = 2; terms <= 4; ++terms) {
            const model::DisplacementFigures& d = run->figures[static_cast<std::size_t>(terms - 1)].displacement;
            ASSERT_TRUE(d.determined);
            std::array<double, 6> error;
            for (std::size_t i = 0; i < 6; ++i) error[i] = d.delta_u[i] - c.truth[i];
            EXPECT_LT(norm(error), c.tolerance) << terms << " terms";
            EXPECT_NEAR(d.delta_u_eq, (c.truth[0] + c.truth[1] + c.truth[2]) / 3.0, c.tolerance) << terms;
            EXPECT_GE(d.displacement_share, c.share_low) << terms;
            EXPECT_LE(d.displacement_share, c.share_high) << terms;
        }
    }
}

}  // namespace
}  // namespace velor::testing
