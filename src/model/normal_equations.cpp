#include "model/normal_equations.hpp"

#include "model/normal_equations_kernels.hpp"

namespace velor::model {
namespace {

double sq(float v) { return static_cast<double>(v) * static_cast<double>(v); }  // exact

// The weights of one reflection's share: wλ²·Fc²·Fc², which scales the
// columns of A, and wλ²·Fo²·Fc², which scales B.
struct Weights {
    double column_scale, rhs_scale;
};

Weights weights(const core::Reflection& r, double lambda_sq) {
    const double w_lambda_sq = (1.0 / sq(r.sigma)) * lambda_sq;
    const double fc2 = r.fc2;
    return {w_lambda_sq * fc2 * fc2, w_lambda_sq * static_cast<double>(r.fo2) * fc2};
}

// One reflection's factors for the vector update, for a model of `Terms`
// terms.
template <int Terms>
void factors(kernels::Factors& f, const core::Reflection& r, const Geometry& g, double lambda_sq) {
    const Weights w = weights(r, lambda_sq);
    f.rhs_scale = w.rhs_scale;
    f.lambda_sq = lambda_sq;
    for (std::size_t j = 0; j < 6; ++j) {
        f.t[j] = g.t[j];
        f.scaled_t[j] = w.column_scale * g.t[j];
    }
    const auto power = ScaleModel::powers<Terms>(g.sin2);
    for (std::size_t i = 0; i < Terms; ++i) f.power[i] = power[i];
}

// The baseline update: one reflection's products, for a model of `Terms`
// terms; the size known when compiled lets the triangle update run as
// straight code (in two-wide vectors where the compiler can).
template <int Terms>
void accumulate(NormalEquations& eq, const core::Reflection& r, const Geometry& g, double lambda_sq) {
    constexpr std::size_t n = 6 * Terms;
    const Weights w = weights(r, lambda_sq);
    const auto power = ScaleModel::powers<Terms>(g.sin2);
    const auto basis = ScaleModel::basis<Terms>(g, power);
    std::array<double, n> column;  // (wλ²·Fc²·Fc²·T_j)·(s²)^e
    std::array<double, n> row;     // basis·λ²
    for (std::size_t i = 0; i < Terms; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            const std::size_t p = j + 6 * i;
            column[p] = w.column_scale * g.t[j] * power[i];
            row[p] = basis[p] * lambda_sq;
        }
    }
#pragma GCC unroll 24
    for (std::size_t p = 0; p < n; ++p) {
        auto& a_row = eq.a[p];
        const double rp = row[p];
#pragma GCC unroll 24
        for (std::size_t q = p; q < n; ++q) a_row[q] += column[q] * rp;
        eq.b[p] += w.rhs_scale * basis[p];
    }
}

// The vector update for the processor; nullptr for the baseline one.
kernels::Update chosen_update(int terms) {
    return kernels::avx2_supported() ? kernels::avx2_update(terms) : nullptr;
}

}  // namespace

namespace kernels {

#if !VELOR_AVX2_KERNEL
Update avx2_update(int) { return nullptr; }
FoldUpdate avx2_fold_update() { return nullptr; }
#endif

bool avx2_supported() {
#if VELOR_AVX2_KERNEL
    // The processor's AVX2, with the system saving the 256-bit registers.
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
#else
    return false;
#endif
}

}  // namespace kernels

void add_reflection(NormalEquations& eq, const ScaleModel& model, const core::Reflection& r, const Geometry& g,
                    kernels::Update update) {
    const double lambda_sq = model.lambda_sq();
    if (update != nullptr) {
        kernels::Factors f;
        switch (model.terms()) {
            case 4: factors<4>(f, r, g, lambda_sq); break;
            case 3: factors<3>(f, r, g, lambda_sq); break;
            case 2: factors<2>(f, r, g, lambda_sq); break;
            default: factors<1>(f, r, g, lambda_sq); break;
        }
        update(eq, f);
    } else {
        switch (model.terms()) {
            case 4: accumulate<4>(eq, r, g, lambda_sq); break;
            case 3: accumulate<3>(eq, r, g, lambda_sq); break;
            case 2: accumulate<2>(eq, r, g, lambda_sq); break;
            default: accumulate<1>(eq, r, g, lambda_sq); break;
        }
    }
    ++eq.accepted;
}

NormalEquationsBuilder::NormalEquationsBuilder(const ScaleModel& model, const ReciprocalCell& rc,
                                               const Screening& screening)
    : geometry_(rc, model.lambda_sq()), model_(model), screening_(screening), update_(chosen_update(model.terms())) {}

}  // namespace velor::model
