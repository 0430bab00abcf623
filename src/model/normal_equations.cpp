#include "model/normal_equations.hpp"

#include <cmath>

#include "model/normal_equations_kernels.hpp"

namespace velor::model {
namespace {

double sq(float v) { return static_cast<double>(v) * static_cast<double>(v); }  // exact

// One reflection's factors, for a fit of `Terms` polynomial terms.
template <int Terms>
void factors(kernels::Factors& f, const input::Reflection& r, const Geometry& g, double lambda_sq, int top_power) {
    const double w_lambda_sq = (1.0 / sq(r.sigma)) * lambda_sq;
    const double fc2 = r.fc2;
    const double column_scale = w_lambda_sq * fc2 * fc2;
    f.rhs_scale = w_lambda_sq * static_cast<double>(r.fo2) * fc2;
    f.lambda_sq = lambda_sq;
    for (std::size_t j = 0; j < 6; ++j) {
        f.t[j] = g.t[j];
        f.scaled_t[j] = column_scale * g.t[j];
    }
    for (int i = 0; i < Terms; ++i) f.power[static_cast<std::size_t>(i)] = integer_power(g.sin2, top_power - 1 - i);
}

// The baseline update: one reflection's products, for a fit of `Terms`
// polynomial terms; the size known when compiled lets the triangle update
// run as straight code (in two-wide vectors where the compiler can).
template <int Terms>
void accumulate(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq,
                int top_power) {
    constexpr int n = 6 * Terms;
    const double w_lambda_sq = (1.0 / sq(r.sigma)) * lambda_sq;
    const double fc2 = r.fc2;
    const double column_scale = w_lambda_sq * fc2 * fc2;
    const double rhs_scale = w_lambda_sq * static_cast<double>(r.fo2) * fc2;

    std::array<double, n> column;  // (wλ²·Fc²·Fc²·T_j)·(s²)^e
    std::array<double, n> row;     // ((s²)^e·T_j)·λ²
    std::array<double, n> basis;   // (s²)^e·T_j
    for (int i = 0; i < Terms; ++i) {
        const double power = integer_power(g.sin2, top_power - 1 - i);
        for (int j = 0; j < 6; ++j) {
            const auto p = static_cast<std::size_t>(j + 6 * i);
            const double t = g.t[static_cast<std::size_t>(j)];
            column[p] = column_scale * t * power;
            basis[p] = power * t;
            row[p] = basis[p] * lambda_sq;
        }
    }
#pragma GCC unroll 24
    for (std::size_t p = 0; p < n; ++p) {
        auto& a_row = eq.a[p];
        const double rp = row[p];
#pragma GCC unroll 24
        for (std::size_t q = p; q < n; ++q) a_row[q] += column[q] * rp;
        eq.b[p] += rhs_scale * basis[p];
    }
}

// The vector update that add_reflection uses, chosen once for the
// processor; nullptr for the baseline one.
kernels::Update chosen_update(int terms) {
    return kernels::avx2_supported() ? kernels::avx2_update(terms) : nullptr;
}

}  // namespace

namespace kernels {

#if !VELOR_AVX2_KERNEL
Update avx2_update(int) { return nullptr; }
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

void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power, kernels::Update update) {
    if (update != nullptr) {
        kernels::Factors f;
        switch (terms) {
            case 4: factors<4>(f, r, g, lambda_sq, top_power); break;
            case 3: factors<3>(f, r, g, lambda_sq, top_power); break;
            case 2: factors<2>(f, r, g, lambda_sq, top_power); break;
            default: factors<1>(f, r, g, lambda_sq, top_power); break;
        }
        update(eq, f);
    } else {
        switch (terms) {
            case 4: accumulate<4>(eq, r, g, lambda_sq, top_power); break;
            case 3: accumulate<3>(eq, r, g, lambda_sq, top_power); break;
            case 2: accumulate<2>(eq, r, g, lambda_sq, top_power); break;
            default: accumulate<1>(eq, r, g, lambda_sq, top_power); break;
        }
    }
    ++eq.accepted;
}

void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power) {
    add_reflection(eq, r, g, lambda_sq, terms, top_power, chosen_update(terms));
}

NormalEquationsBuilder::NormalEquationsBuilder(const input::CrystalData& crystal,
                                               const input::RunParameters& parameters, const ReciprocalCell& rc,
                                               NormalEquations& equations)
    : geometry_(rc, crystal.lambda_sq),
      parameters_(parameters),
      lambda_sq_(crystal.lambda_sq),
      screening_(crystal, parameters),
      equations_(equations),
      update_(chosen_update(parameters.terms)) {}

}  // namespace velor::model
