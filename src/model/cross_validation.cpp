#include "model/cross_validation.hpp"

#include <algorithm>

#include "model/cholesky.hpp"
#include "model/double_pair.hpp"
#include "model/normal_equations_kernels.hpp"

namespace velor::model {
namespace {

CompactSums sum_of_folds(const FoldSums& sums, int left_out) {
    CompactSums total;
    for (int f = 0; f < kFolds; ++f)
        if (f != left_out) total.add(sums.fold(f));
    return total;
}

}  // namespace

int fold_of(std::int32_t h, std::int32_t k, std::int32_t l) {
    // −h for h: the first index that is not zero made positive.
    if (h < 0 || (h == 0 && (k < 0 || (k == 0 && l < 0)))) h = -h, k = -k, l = -l;
    constexpr std::uint64_t kField = (std::uint64_t{1} << 21) - 1;
    const auto field = [](std::int32_t v) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(v)) & kField; };
    std::uint64_t z = field(h) << 42 | field(k) << 21 | field(l);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<int>(z % kFolds);
}

void CompactSums::add(const CompactSums& other) {
    for (std::size_t k = 0; k < kPowers; ++k)
        for (std::size_t pair = 0; pair < kComponentPairs; ++pair) a[k][pair] += other.a[k][pair];
    for (std::size_t p = 0; p < b.size(); ++p) b[p] += other.b[p];
    wyy += other.wyy;
    accepted += other.accepted;
}

FoldShare fold_share(const core::Reflection& r, const Geometry& g, double lambda_sq) {
    FoldShare share;
    const double sigma = r.sigma, fc2 = r.fc2, fo2 = r.fo2;
    const double w = 1.0 / (sigma * sigma);
    const double a_weight = w * (lambda_sq * lambda_sq) * (fc2 * fc2);  // w·λ⁴·Fc⁴
    const double b_weight = w * lambda_sq * (fo2 * fc2);                 // w·λ²·Fo²·Fc²
    const double s = g.sin2, inverse = 1.0 / s;
    share.power = {inverse * inverse, inverse, 1.0, s, s * s, s * s * s, (s * s) * (s * s)};
    const std::array<double, kComponentPairs> tt = pair_products(g.t, a_weight);
    std::copy(tt.begin(), tt.end(), share.tt.begin());
    std::fill(share.tt.begin() + kComponentPairs, share.tt.end(), 0.0);
    // The cubic basis: the powers 2, 1, 0, −1 of s, the highest first.
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 6; ++j) share.b[j + 6 * i] = (b_weight * g.t[j]) * share.power[4 - i];
    share.wyy = w * (fo2 * fo2);
    return share;
}

void add_share(CompactSums& sums, const FoldShare& share) {
    constexpr std::size_t kPairs = CompactSums::kLanes / 2;
    std::array<DoublePair, kPairs> tt;
    for (std::size_t v = 0; v < kPairs; ++v) tt[v] = DoublePair{share.tt[2 * v], share.tt[2 * v + 1]};
    for (std::size_t k = 0; k < CompactSums::kPowers; ++k) {
        const DoublePair power = {share.power[k], share.power[k]};
        auto* row = reinterpret_cast<DoublePair*>(sums.a[k].data());
#pragma GCC unroll 12
        for (std::size_t v = 0; v < kPairs; ++v) row[v] += power * tt[v];
    }
    auto* b = reinterpret_cast<DoublePair*>(sums.b.data());
    for (std::size_t v = 0; v < core::kMaxParameters / 2; ++v)
        b[v] += DoublePair{share.b[2 * v], share.b[2 * v + 1]};
    sums.wyy += share.wyy;
    ++sums.accepted;
}

FoldSums::FoldSums(double lambda_sq)
    : lambda_sq_(lambda_sq),
      update_(kernels::avx2_supported() && kernels::avx2_fold_update() ? kernels::avx2_fold_update() : add_share),
      folds_(kFolds) {}

NormalEquations fit_type_equations(const CompactSums& sums, const ScaleModel& model) {
    const ScaleModel cubic(ScaleModel::kMaxTerms, model.lambda_sq());
    const auto offset = static_cast<std::size_t>(model.offset_in(cubic));
    const int n = model.parameters();
    NormalEquations eq;
    for (int p = 0; p < n; ++p) {
        const auto row = static_cast<std::size_t>(p);
        for (int q = p; q < n; ++q) {
            const auto k = static_cast<std::size_t>(model.power(ScaleModel::term(p)) + model.power(ScaleModel::term(q)) + 2);
            eq.a[row][static_cast<std::size_t>(q)] =
                sums.a[k][component_pair(static_cast<std::size_t>(ScaleModel::component(p)),
                                         static_cast<std::size_t>(ScaleModel::component(q)))];
        }
        eq.b[row] = sums.b[row + offset];
    }
    eq.accepted = sums.accepted;
    return eq;
}

FitTypeSolutions solve_fit_types(const FoldSums& sums) {
    FitTypeSolutions solutions;
    const CompactSums all = sum_of_folds(sums, -1);
    for (int terms = 1; terms <= ScaleModel::kMaxTerms; ++terms) {
        FitTypeSolution& s = solutions[static_cast<std::size_t>(terms - 1)];
        s.model = ScaleModel(terms, sums.lambda_sq());
        const int n = s.model.parameters();
        s.factor = fit_type_equations(all, s.model);
        s.accepted = all.accepted;
        s.solved = cholesky_solve(s.factor, s.fit, n);
        if (s.solved) {
            double xb = 0.0;
            for (std::size_t p = 0; p < static_cast<std::size_t>(n); ++p) xb += s.fit.x[p] * s.factor.b[p];
            s.chi_squared = all.wyy - xb;
        }
        s.cross_validated = s.solved;
        for (int f = 0; f < kFolds && s.cross_validated; ++f) {
            NormalEquations training = fit_type_equations(sum_of_folds(sums, f), s.model);
            core::FitResult fit;
            s.cross_validated = cholesky_solve(training, fit, n);
            s.fold_x[static_cast<std::size_t>(f)] = fit.x;
        }
    }
    return solutions;
}

}  // namespace velor::model
