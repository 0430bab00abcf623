#include "model/cross_validation.hpp"

#include "model/cholesky.hpp"

namespace velor::model {
namespace {

constexpr unsigned kAllFolds = (1u << kFolds) - 1;

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

FoldSums::FoldSums(double lambda_sq)
    : cubic_(ScaleModel::kMaxTerms, lambda_sq),
      update_(kernels::avx2_supported() ? kernels::avx2_update(ScaleModel::kMaxTerms) : nullptr),
      folds_(kFolds) {}

NormalEquations fit_type_equations(const FoldSums& sums, int terms, unsigned folds) {
    const ScaleModel cubic(ScaleModel::kMaxTerms, sums.lambda_sq());
    const auto offset = static_cast<std::size_t>(ScaleModel(terms, sums.lambda_sq()).offset_in(cubic));
    const auto n = static_cast<std::size_t>(6 * terms);
    NormalEquations eq;
    for (int f = 0; f < kFolds; ++f) {
        if ((folds >> f & 1u) == 0) continue;
        const NormalEquations& fold = sums.fold(f);
        for (std::size_t p = 0; p < n; ++p) {
            for (std::size_t q = p; q < n; ++q) eq.a[p][q] += fold.a[p + offset][q + offset];
            eq.b[p] += fold.b[p + offset];
        }
        eq.accepted += fold.accepted;
    }
    return eq;
}

FitTypeSolutions solve_fit_types(const FoldSums& sums) {
    FitTypeSolutions solutions;
    for (int terms = 1; terms <= ScaleModel::kMaxTerms; ++terms) {
        FitTypeSolution& s = solutions[static_cast<std::size_t>(terms - 1)];
        s.model = ScaleModel(terms, sums.lambda_sq());
        const int n = s.model.parameters();
        s.factor = fit_type_equations(sums, terms, kAllFolds);
        s.solved = cholesky_solve(s.factor, s.fit, n);
        s.cross_validated = s.solved;
        for (int f = 0; f < kFolds && s.cross_validated; ++f) {
            NormalEquations training = fit_type_equations(sums, terms, kAllFolds & ~(1u << f));
            core::FitResult fit;
            s.cross_validated = cholesky_solve(training, fit, n);
            s.fold_x[static_cast<std::size_t>(f)] = fit.x;
        }
    }
    return solutions;
}

}  // namespace velor::model
