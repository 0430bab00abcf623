// The AVX2 builds of the normal-equations updates (normal_equations_kernels.hpp):
// the run's own and that of the cross-validation folds.
// Only the updates themselves are compiled for AVX2, by their function attribute
// (AVX2 without FMA, so that no fused multiply-add can appear); the file is
// compiled for the baseline processor, so that every other function in it,
// and every copy of a header's inline function that it emits, runs on any
// x86-64 processor.
#include <immintrin.h>

#include "model/cross_validation.hpp"
#include "model/normal_equations_kernels.hpp"

namespace velor::model::kernels {
namespace {

// The factors expanded (normal_equations_kernels.hpp), six parameters of a
// term at a time in a four- and a two-wide vector; then a(p, q) +=
// column(q)·row(p) for p ≤ q < N, four columns at a time from q = p, then
// two, then one; and b(p) += rhs_scale·basis(p), four at a time.  Each
// element gets the products and the sum the baseline gives it.
template <int N>
[[gnu::target("avx2")]] void update(NormalEquations& eq, const Factors& f) {
    alignas(32) double column[N], basis[N], row[N];
    const __m256d t4 = _mm256_loadu_pd(f.t.data()), scaled4 = _mm256_loadu_pd(f.scaled_t.data());
    const __m128d t2 = _mm_loadu_pd(f.t.data() + 4), scaled2 = _mm_loadu_pd(f.scaled_t.data() + 4);
    const __m256d lambda_sq4 = _mm256_set1_pd(f.lambda_sq);
    const __m128d lambda_sq2 = _mm256_castpd256_pd128(lambda_sq4);
#pragma GCC unroll 4
    for (int i = 0; i < N / 6; ++i) {
        const __m256d power4 = _mm256_set1_pd(f.power[static_cast<std::size_t>(i)]);
        const __m128d power2 = _mm256_castpd256_pd128(power4);
        double* const c = column + 6 * i;
        double* const b = basis + 6 * i;
        double* const r = row + 6 * i;
        _mm256_storeu_pd(c, _mm256_mul_pd(scaled4, power4));
        _mm_storeu_pd(c + 4, _mm_mul_pd(scaled2, power2));
        const __m256d basis4 = _mm256_mul_pd(power4, t4);
        const __m128d basis2 = _mm_mul_pd(power2, t2);
        _mm256_storeu_pd(b, basis4);
        _mm_storeu_pd(b + 4, basis2);
        _mm256_storeu_pd(r, _mm256_mul_pd(basis4, lambda_sq4));
        _mm_storeu_pd(r + 4, _mm_mul_pd(basis2, lambda_sq2));
    }
#pragma GCC unroll 24
    for (int p = 0; p < N; ++p) {
        double* a = eq.a[static_cast<std::size_t>(p)].data();
        const __m256d row4 = _mm256_broadcast_sd(row + p);
        int q = p;
#pragma GCC unroll 6
        for (; q + 4 <= N; q += 4)
            _mm256_storeu_pd(a + q, _mm256_add_pd(_mm256_loadu_pd(a + q), _mm256_mul_pd(_mm256_loadu_pd(column + q), row4)));
        if (q + 2 <= N) {
            const __m128d row2 = _mm256_castpd256_pd128(row4);
            _mm_storeu_pd(a + q, _mm_add_pd(_mm_loadu_pd(a + q), _mm_mul_pd(_mm_loadu_pd(column + q), row2)));
            q += 2;
        }
        if (q < N) {
            const __m128d row1 = _mm256_castpd256_pd128(row4);
            _mm_store_sd(a + q, _mm_add_sd(_mm_load_sd(a + q), _mm_mul_sd(_mm_load_sd(column + q), row1)));
        }
    }
    double* b = eq.b.data();
    const __m256d scale4 = _mm256_set1_pd(f.rhs_scale);
    int p = 0;
#pragma GCC unroll 6
    for (; p + 4 <= N; p += 4)
        _mm256_storeu_pd(b + p, _mm256_add_pd(_mm256_loadu_pd(b + p), _mm256_mul_pd(scale4, _mm256_loadu_pd(basis + p))));
    if (p + 2 <= N) {
        const __m128d scale2 = _mm256_castpd256_pd128(scale4);
        _mm_storeu_pd(b + p, _mm_add_pd(_mm_loadu_pd(b + p), _mm_mul_pd(scale2, _mm_loadu_pd(basis + p))));
    }
}

// add_share (cross_validation.cpp) four lanes at a time: the same product
// and sum in each lane.
[[gnu::target("avx2")]] void fold_update(CompactSums& sums, const FoldShare& share) {
    using Quad = double __attribute__((vector_size(32)));
    constexpr std::size_t kQuads = CompactSums::kLanes / 4;
    const auto* tt = reinterpret_cast<const Quad*>(share.tt.data());
    for (std::size_t k = 0; k < CompactSums::kPowers; ++k) {
        const Quad power = {share.power[k], share.power[k], share.power[k], share.power[k]};
        auto* row = reinterpret_cast<Quad*>(sums.a[k].data());
#pragma GCC unroll 6
        for (std::size_t v = 0; v < kQuads; ++v) row[v] += power * tt[v];
    }
    auto* b = reinterpret_cast<Quad*>(sums.b.data());
    const auto* share_b = reinterpret_cast<const Quad*>(share.b.data());
    for (std::size_t v = 0; v < core::kMaxParameters / 4; ++v) b[v] += share_b[v];
    sums.wyy += share.wyy;
    ++sums.accepted;
}

}  // namespace

FoldUpdate avx2_fold_update() { return fold_update; }

Update avx2_update(int terms) {
    switch (terms) {
        case 4: return update<24>;
        case 3: return update<18>;
        case 2: return update<12>;
        default: return update<6>;
    }
}

}  // namespace velor::model::kernels
