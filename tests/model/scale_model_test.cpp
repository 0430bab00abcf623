// The scale model: the fit's basis and the correction's S describe one
// model, and the fit types nest.
#include <gtest/gtest.h>

#include <random>

#include "model/scale_model.hpp"

namespace velor::model {
namespace {

constexpr double kLambdaSq = double(1.54184f) * double(1.54184f);

// Reflections from all over reciprocal space of a triclinic cell.
std::vector<Geometry> reflections() {
    const core::CrystalData crystal{.lambda = 1.54184f, .a = 7.1f, .b = 9.3f, .c = 11.7f, .alpha_deg = 78.0f,
                                    .beta_deg = 95.5f, .gamma_deg = 104.2f, .lambda_sq = kLambdaSq, .osf = 1.0f,
                                    .f000 = 0, .u = 0};
    const GeometryOfReflections geometry(reciprocal_cell(crystal), kLambdaSq);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> index(-12, 12);
    std::vector<Geometry> list;
    for (int n = 0; n < 300; ++n) list.push_back(geometry(index(rng), index(rng), index(rng) | 1));
    return list;
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
    std::mt19937 rng(5);
    for (int terms = 1; terms <= ScaleModel::kMaxTerms; ++terms) {
        const ScaleModel model(terms, kLambdaSq);
        const core::Coefficients x = random_coefficients(rng);
        for (const Geometry& g : reflections()) {
            const ScaleModel::Basis basis = model.basis(g);
            double sum = 0.0, size = 0.0;
            for (std::size_t p = 0; p < ScaleModel::kMaxParameters; ++p) {
                sum += (int(p) < model.parameters() ? x[p] : 0.0) * basis[p];
                size += std::fabs(x[p] * basis[p]);
            }
            EXPECT_NEAR(model.evaluate(g, x), kLambdaSq * sum, 1e-14 * kLambdaSq * size) << terms << " terms";
        }
    }
}

// Each fit type is the cubic one without its leading terms: its basis is
// the cubic basis's last 6·terms elements, and its S that of the cubic
// model with zero coefficients in front, bit for bit.
TEST(ScaleModel, FitTypesNest) {
    std::mt19937 rng(9);
    const ScaleModel cubic(4, kLambdaSq);
    for (const auto& [terms, offset] : {std::pair{4, 0}, {3, 6}, {2, 12}, {1, 18}}) {
        const ScaleModel model(terms, kLambdaSq);
        ASSERT_EQ(model.offset_in(cubic), offset);
        const core::Coefficients x = random_coefficients(rng);
        core::Coefficients in_cubic{};
        for (int p = 0; p < model.parameters(); ++p) in_cubic[std::size_t(p + offset)] = x[std::size_t(p)];
        for (const Geometry& g : reflections()) {
            const ScaleModel::Basis small = model.basis(g), large = cubic.basis(g);
            for (int p = 0; p < ScaleModel::kMaxParameters; ++p)
                ASSERT_EQ(small[std::size_t(p)], p < model.parameters() ? large[std::size_t(p + offset)] : 0.0) << p;
            ASSERT_EQ(model.evaluate(g, x), cubic.evaluate(g, in_cubic)) << terms << " terms";
        }
    }
}

}  // namespace
}  // namespace velor::model
