// The scale model: the fit's basis and the correction's S describe one
// model, and the fit types nest.
#include <gtest/gtest.h>

#include <random>

#include "model/scale_model.hpp"

namespace velor::model {
namespace {

// A triclinic cell and reflections from all over reciprocal space.
struct Sample {
    GeometryOfReflections geometry;
    double lambda_sq;
    std::vector<Geometry> reflections;
};

Sample sample() {
    const core::CrystalData crystal{.lambda = 1.54184f, .a = 7.1f, .b = 9.3f, .c = 11.7f, .alpha_deg = 78.0f,
                                    .beta_deg = 95.5f, .gamma_deg = 104.2f,
                                    .lambda_sq = double(1.54184f) * double(1.54184f), .osf = 1.0f, .f000 = 0, .u = 0};
    Sample s{GeometryOfReflections(reciprocal_cell(crystal), crystal.lambda_sq), crystal.lambda_sq, {}};
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> index(-12, 12);
    while (s.reflections.size() < 300) {
        const int h = index(rng), k = index(rng), l = index(rng);
        if (h != 0 || k != 0 || l != 0) s.reflections.push_back(s.geometry(h, k, l));
    }
    return s;
}

core::Coefficients random_coefficients(std::mt19937& rng) {
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    core::Coefficients x{};
    for (double& v : x) v = value(rng);
    return x;
}

// S as the correction evaluates it is λ²·Σ x_p·basis_p with the basis the
// fit is made in, for every fit type, to the rounding of the two orders of
// summation: the correction applies the model that was fitted.
TEST(ScaleModel, CorrectionEvaluatesTheFittedBasis) {
    const Sample s = sample();
    std::mt19937 rng(5);
    for (int terms = 1; terms <= ScaleModel::kMaxTerms; ++terms) {
        const ScaleModel model(terms, s.lambda_sq);
        const core::Coefficients x = random_coefficients(rng);
        for (const Geometry& g : s.reflections) {
            const ScaleModel::Basis basis = model.basis(g);
            double sum = 0.0, size = 0.0;
            for (int p = 0; p < model.parameters(); ++p) {
                sum += x[std::size_t(p)] * basis[std::size_t(p)];
                size += std::fabs(x[std::size_t(p)] * basis[std::size_t(p)]);
            }
            EXPECT_NEAR(model.evaluate(g, x), s.lambda_sq * sum, 1e-14 * s.lambda_sq * size) << terms << " terms";
            for (int p = model.parameters(); p < ScaleModel::kMaxParameters; ++p) EXPECT_EQ(basis[std::size_t(p)], 0.0);
        }
    }
}

// Each fit type is the cubic one with its leading terms left out: its basis
// is the cubic basis's last 6·terms elements, and its S that of the cubic
// model with zero coefficients in front, bit for bit.
TEST(ScaleModel, FitTypesNest) {
    const Sample s = sample();
    std::mt19937 rng(9);
    const ScaleModel cubic(4, s.lambda_sq);
    const struct {
        int terms, offset;
        std::vector<int> powers;
    } cases[] = {{4, 0, {2, 1, 0, -1}}, {3, 6, {1, 0, -1}}, {2, 12, {0, -1}}, {1, 18, {-1}}};
    for (const auto& c : cases) {
        const ScaleModel model(c.terms, s.lambda_sq);
        ASSERT_EQ(model.offset_in(cubic), c.offset);
        std::vector<int> powers;
        for (int i = 0; i < model.terms(); ++i) powers.push_back(model.power(i));
        EXPECT_EQ(powers, c.powers);
        const core::Coefficients x = random_coefficients(rng);
        core::Coefficients in_cubic{};
        for (int p = 0; p < model.parameters(); ++p) in_cubic[std::size_t(p + c.offset)] = x[std::size_t(p)];
        for (const Geometry& g : s.reflections) {
            const ScaleModel::Basis small = model.basis(g), large = cubic.basis(g);
            for (int p = 0; p < model.parameters(); ++p)
                ASSERT_EQ(small[std::size_t(p)], large[std::size_t(p + c.offset)]) << c.terms << " terms, p " << p;
            ASSERT_EQ(model.evaluate(g, x), cubic.evaluate(g, in_cubic)) << c.terms << " terms";
        }
    }
}

}  // namespace
}  // namespace velor::model
