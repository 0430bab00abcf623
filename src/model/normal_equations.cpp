#include "model/normal_equations.hpp"

#include <cmath>

#include "input/reflection_stream.hpp"
#include "textio/files.hpp"

namespace velor::model {
namespace {

double sq(float v) { return static_cast<double>(v) * static_cast<double>(v); }  // exact

}  // namespace

Screening::Screening(const input::CrystalData& crystal, const input::RunParameters& parameters)
    : extinction_limit_sq_(sq(parameters.extinction_limit)),
      ratio_(parameters.extinction_ratio),
      sin_min_sq_(sq(parameters.sin_theta_min)),
      sin_max_sq_(sq(parameters.sin_theta_max)),
      omit_(parameters.omit),
      ceiling_(static_cast<double>(parameters.ceiling_fraction) * sq(crystal.f000)),
      // 157.92 ≈ 16π²: B = 8π²U, and the intensity falls off as
      // exp(-2B sin²θ/λ²) = exp(-16π²U sin²θ/λ²).
      temperature_(static_cast<double>(157.92f) * static_cast<double>(crystal.u)),
      lambda_sq_(crystal.lambda_sq) {}

// A reflection is fitted only when every test holds, each written so that a
// value that is not a number fails it: such a value would make the normal
// equations meaningless.
bool Screening::accepts(const input::Reflection& r, double sin2) const {
    const double fo2 = r.fo2;
    if (!(fo2 >= omit_ * static_cast<double>(r.sigma))) return false;
    // σ = 0 would give the reflection an infinite weight; a negative σ is
    // no measurement.
    if (!(r.sigma > 0.0f)) return false;
    if (!(sin2 >= sin_min_sq_ && sin2 <= sin_max_sq_)) return false;
    if (!std::isfinite(r.fc2)) return false;
    // Strong low-angle reflections weakened by extinction are left out.
    if (sin2 <= extinction_limit_sq_ && !(fo2 >= ratio_ * static_cast<double>(r.fc2))) return false;
    return below_ceiling(fo2, sin2);
}

// Intensities that no crystal with this F(000) can give, even after the
// temperature factor E = exp(-16π²U sin²θ/λ²) is taken out, are left out.
// Since E ≤ 1, and E ≥ 1 − x for x = 16π²U sin²θ/λ², most reflections are
// decided without the exponential; only those near the ceiling need it.
bool Screening::below_ceiling(double fo2, double sin2) const {
    if (fo2 > ceiling_) return false;
    const double x = temperature_ * sin2 / lambda_sq_;
    if (x < 1.0 && fo2 <= ceiling_ * (1.0 - x) * (1.0 - 1e-12)) return true;
    const double e = std::exp(-temperature_ * sin2 / lambda_sq_);
    return fo2 / e <= ceiling_;
}

namespace {

// One reflection's products, for a fit of `Terms` polynomial terms; the
// size known when compiled lets the triangle update run as straight vector
// code.  Every element still gets exactly the same product and sum.
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

}  // namespace

void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power) {
    switch (terms) {
        case 4: accumulate<4>(eq, r, g, lambda_sq, top_power); break;
        case 3: accumulate<3>(eq, r, g, lambda_sq, top_power); break;
        case 2: accumulate<2>(eq, r, g, lambda_sq, top_power); break;
        default: accumulate<1>(eq, r, g, lambda_sq, top_power); break;
    }
    ++eq.accepted;
}

void bldnml(const std::string& fcf_name, const input::CrystalData& crystal, const input::RunParameters& parameters,
            const ReciprocalCell& rc, NormalEquations& eq, textio::OutputChannel& console) {
    console.write_free({"  Building the normal equations ..."});
    const auto file = textio::open_or_stop(fcf_name, console);
    const Screening screening(crystal, parameters);
    input::ReflectionStream stream(*file);
    for (input::Reflection r; stream.next(r);) {
        const Geometry g = reflection_geometry(rc, crystal.lambda_sq, r.h, r.k, r.l);
        if (screening.accepts(r, g.sin2))
            add_reflection(eq, r, g, crystal.lambda_sq, parameters.terms, parameters.top_power);
    }
}

}  // namespace velor::model
