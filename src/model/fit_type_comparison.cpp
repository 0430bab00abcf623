#include "model/fit_type_comparison.hpp"

#include <algorithm>
#include <cmath>

#include "core/single_precision.hpp"

namespace velor::model {
namespace {

DoublePair magnitude(DoublePair v) { return DoublePair{std::fabs(v[0]), std::fabs(v[1])}; }
DoublePair sqrt_of_magnitude(DoublePair v) { return DoublePair{std::sqrt(std::fabs(v[0])), std::sqrt(std::fabs(v[1]))}; }

}  // namespace

FitTypeComparison::Coefficients FitTypeComparison::side_by_side(const FitTypeSolutions& solutions, int fold) {
    Coefficients x{};
    for (std::size_t i = 0; i < kTypes; ++i) {
        const FitTypeSolution& s = solutions[i];
        if (fold < 0 ? !s.solved : !s.cross_validated) continue;
        const core::Coefficients& own = fold < 0 ? s.fit.x : s.fold_x[static_cast<std::size_t>(fold)];
        const auto offset = static_cast<std::size_t>(core::kMaxParameters - s.model.parameters());
        for (std::size_t p = 0; p < static_cast<std::size_t>(s.model.parameters()); ++p) x[p + offset][i / 2][i % 2] = own[p];
    }
    return x;
}

FitTypeComparison::FitTypeComparison(const FitTypeSolutions& solutions, const core::CrystalData& crystal)
    : solutions_(solutions),
      lambda_sq_(crystal.lambda_sq),
      z_(1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf))),
      z1_(core::single::inverse_osf_squared(z_)),
      full_x_(side_by_side(solutions, -1)),
      stride_(std::max(1L, (solutions[0].accepted + kDisplacementSample - 1) / kDisplacementSample)) {
    for (int f = 0; f < kFolds; ++f) fold_x_[static_cast<std::size_t>(f)] = side_by_side(solutions, f);
}

void FitTypeComparison::add(const core::Reflection& r, const Geometry& g, bool accepted) {
    const auto basis =
        ScaleModel::basis<ScaleModel::kMaxTerms>(g, ScaleModel::powers<ScaleModel::kMaxTerms>(g.sin2));
    const Coefficients& x = fold_x_[static_cast<std::size_t>(fold_of(r.h, r.k, r.l))];
    DoublePair s01{}, s23{};
#pragma GCC unroll 24
    for (std::size_t q = 0; q < core::kMaxParameters; ++q) {
        const DoublePair b = {basis[q], basis[q]};
        s01 += x[q][0] * b;
        s23 += x[q][1] * b;
    }
    // R after as the report forms it, the corrected Fo² in double against
    // √|Fc²| on the refinement's scale in single precision, and χ²; a fit
    // type without a cross-validation has zeros for coefficients, and its
    // sums, which are not used, take what they get.
    const double root_fc2s = core::single::root_on_refinement_scale(r.fc2, z1_);
    const double fo2 = r.fo2, fc2 = r.fc2, sigma = r.sigma;
    const DoublePair zl = {z_ * lambda_sq_, z_ * lambda_sq_}, fo2s = {fo2, fo2}, roots = {root_fc2s, root_fc2s};
    const DoublePair lambda_sq = {lambda_sq_, lambda_sq_}, fc2s = {fc2, fc2}, weight = {1.0 / (sigma * sigma), 1.0 / (sigma * sigma)};
    const std::array<DoublePair, 2> scale{s01, s23};
    for (std::size_t v = 0; v < 2; ++v) {
        const DoublePair root_fo2c = sqrt_of_magnitude(fo2s / (zl * scale[v]));
        n_after_[v] += magnitude(root_fo2c - roots);
        d_after_[v] += root_fo2c;
        if (accepted) {
            const DoublePair residual = fo2s - (lambda_sq * scale[v]) * fc2s;
            chi_squared_[v] += residual * residual * weight;
        }
    }
    if (!accepted) return;
    ++accepted_;
    if (countdown_-- != 0) return;
    countdown_ = stride_ - 1;
    // The full-data fits, their term of power −1 (the last six parameters)
    // apart.
    constexpr std::size_t kDirectionOnly = core::kMaxParameters - 6;
    std::array<double, kTypes> rest{}, dir{};
    for (std::size_t q = 0; q < kDirectionOnly; ++q)
        for (std::size_t i = 0; i < kTypes; ++i) rest[i] += full_x_[q][i / 2][i % 2] * basis[q];
    for (std::size_t q = kDirectionOnly; q < core::kMaxParameters; ++q)
        for (std::size_t i = 0; i < kTypes; ++i) dir[i] += full_x_[q][i / 2][i % 2] * basis[q];
    for (std::size_t i = 0; i < kTypes; ++i)
        if (solutions_[i].solved) displacement_[i].add(g, lambda_sq_ * (rest[i] + dir[i]), lambda_sq_ * dir[i]);
}

FitTypeFigures FitTypeComparison::figures(int terms, const ReciprocalCell& rc) const {
    const auto i = static_cast<std::size_t>(terms - 1);
    const FitTypeSolution& solution = solutions_[i];
    FitTypeFigures f;
    f.terms = terms;
    f.solved = solution.solved;
    if (!solution.solved) return f;
    f.chi_squared = solution.chi_squared;
    f.accepted = solution.accepted;
    if (solution.cross_validated)
        f.cross_validated = CrossValidated{n_after_[i / 2][i % 2] / d_after_[i / 2][i % 2], chi_squared_[i / 2][i % 2], accepted_};
    f.displacement = displacement_[i].figures(rc);
    return f;
}

}  // namespace velor::model
