// The AVX2 build of the normal-equations update (normal_equations_kernels.hpp).
// This file alone is compiled with -mavx2 (and without -mfma, so that no
// fused multiply-add can appear); it holds intrinsics only and no inline
// function of a header that another file could share with it.
#include <immintrin.h>

#include "model/normal_equations_kernels.hpp"

namespace velor::model::kernels {
namespace {

// a(p, q) += column(q)·row(p) for p ≤ q < N, four columns at a time from
// q = p, then two, then one; b(p) += rhs_scale·basis(p), four at a time.
// Each element gets one product and one sum, as the baseline gives it.
template <int N>
void update(NormalEquations& eq, const Products& f) {
    const double* column = f.column.data();
#pragma GCC unroll 24
    for (int p = 0; p < N; ++p) {
        double* a = eq.a[static_cast<std::size_t>(p)].data();
        const __m256d row4 = _mm256_set1_pd(f.row[static_cast<std::size_t>(p)]);
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
    const double* basis = f.basis.data();
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

}  // namespace

Update avx2_update(int terms) {
    switch (terms) {
        case 4: return update<24>;
        case 3: return update<18>;
        case 2: return update<12>;
        default: return update<6>;
    }
}

}  // namespace velor::model::kernels
