#include "model/fit_type_comparison.hpp"

namespace velor::model {
namespace {

// S of a fit type of `Terms` terms and its direction-only part, from the
// cubic basis of the reflection: the fit type's parameters are the last
// 6·Terms of the cubic ones, and its term of power −1 the last six.
struct Scale {
    double s, s_dir;
};

template <int Terms>
Scale evaluate(const core::Coefficients& x, const std::array<double, core::kMaxParameters>& basis, double lambda_sq) {
    constexpr std::size_t n = 6 * Terms, offset = core::kMaxParameters - n;
    double rest = 0.0, dir = 0.0;
    for (std::size_t p = 0; p + 6 < n; ++p) rest += x[p] * basis[p + offset];
    for (std::size_t p = n - 6; p < n; ++p) dir += x[p] * basis[p + offset];
    return {lambda_sq * (rest + dir), lambda_sq * dir};
}

Scale evaluate(int terms, const core::Coefficients& x, const std::array<double, core::kMaxParameters>& basis,
               double lambda_sq) {
    switch (terms) {
        case 4: return evaluate<4>(x, basis, lambda_sq);
        case 3: return evaluate<3>(x, basis, lambda_sq);
        case 2: return evaluate<2>(x, basis, lambda_sq);
        default: return evaluate<1>(x, basis, lambda_sq);
    }
}

}  // namespace

FitTypeComparison::FitTypeComparison(const FitTypeSolutions& solutions, const core::CrystalData& crystal)
    : solutions_(solutions),
      lambda_sq_(crystal.lambda_sq),
      z_(1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf))),
      z1_(core::single::inverse_osf_squared(z_)) {}

void FitTypeComparison::add(const core::Reflection& r, const Geometry& g, bool accepted) {
    const auto basis = ScaleModel::basis<ScaleModel::kMaxTerms>(g, ScaleModel::powers<ScaleModel::kMaxTerms>(g.sin2));
    // The report's R before, in single precision on the refinement's scale,
    // and its after with the corrected Fo² in double.
    const float root_fo2s = core::single::root_on_refinement_scale(r.fo2, z1_);
    const double root_fc2s = core::single::root_on_refinement_scale(r.fc2, z1_);
    n_before_ += static_cast<double>(std::fabs(root_fo2s - static_cast<float>(root_fc2s)));
    d_before_ += static_cast<double>(root_fo2s);
    if (accepted) ++accepted_;
    const double fo2 = r.fo2, fc2 = r.fc2, sigma = r.sigma;
    const auto agree = [&](Sums& sums, double s) {
        const double root_fo2c = std::sqrt(std::fabs(fo2 / (z_ * s)));
        sums.n_after += std::fabs(root_fo2c - root_fc2s);
        sums.d_after += root_fo2c;
        if (accepted) {
            const double residual = fo2 - s * fc2;
            sums.chi_squared += residual * residual / (sigma * sigma);
        }
    };
    const int fold = fold_of(r.h, r.k, r.l);
    for (std::size_t i = 0; i < ScaleModel::kMaxTerms; ++i) {
        const FitTypeSolution& solution = solutions_[i];
        if (!solution.solved) continue;
        const int terms = static_cast<int>(i) + 1;
        const Scale full = evaluate(terms, solution.fit.x, basis, lambda_sq_);
        agree(fitted_[i], full.s);
        if (accepted) displacement_[i].add(g, full.s, full.s_dir);
        if (solution.cross_validated)
            agree(cross_validated_[i], evaluate(terms, solution.fold_x[static_cast<std::size_t>(fold)], basis, lambda_sq_).s);
    }
}

FitTypeFigures FitTypeComparison::figures(int terms, const ReciprocalCell& rc) const {
    const auto i = static_cast<std::size_t>(terms - 1);
    const FitTypeSolution& solution = solutions_[i];
    FitTypeFigures f;
    f.terms = terms;
    f.solved = solution.solved;
    if (!solution.solved) return f;
    const auto agreement = [&](const Sums& sums) {
        return Agreement{n_before_ / d_before_, sums.n_after / sums.d_after, sums.chi_squared, accepted_};
    };
    f.fitted = agreement(fitted_[i]);
    if (solution.cross_validated) f.cross_validated = agreement(cross_validated_[i]);
    f.displacement = displacement_[i].figures(rc);
    return f;
}

}  // namespace velor::model
