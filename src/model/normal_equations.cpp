#include "model/normal_equations.hpp"

#include <cmath>

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

bool Screening::accepts(const input::Reflection& r, double sin2) const {
    const double fo2 = r.fo2;
    // Strong low-angle reflections weakened by extinction are left out.
    if (sin2 <= extinction_limit_sq_ && fo2 < ratio_ * static_cast<double>(r.fc2)) return false;
    if (sin2 < sin_min_sq_ || sin2 > sin_max_sq_) return false;
    if (!(fo2 >= omit_ * static_cast<double>(r.sigma))) return false;
    // Intensities that no crystal with this F(000) can give.
    const double e = std::exp(-temperature_ * sin2 / lambda_sq_);
    if (fo2 / e > ceiling_) return false;
    // σ = 0 would give the reflection an infinite weight.
    return r.sigma != 0.0f;
}

void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq,
                    int parameter_count, int terms, int top_power) {
    const double w_lambda_sq = (1.0 / sq(r.sigma)) * lambda_sq;
    const double fc2 = r.fc2;
    const double column_scale = w_lambda_sq * fc2 * fc2;
    const double rhs_scale = w_lambda_sq * static_cast<double>(r.fo2) * fc2;

    std::array<double, kMaxParameters> column{};  // (wλ²·Fc²·Fc²·T_j)·(s²)^e
    std::array<double, kMaxParameters> row{};     // ((s²)^e·T_j)·λ²
    std::array<double, kMaxParameters> basis{};   // (s²)^e·T_j
    for (int i = 0; i < terms; ++i) {
        const double power = integer_power(g.sin2, top_power - 1 - i);
        for (int j = 0; j < 6; ++j) {
            const auto p = static_cast<std::size_t>(j + 6 * i);
            const double t = g.t[static_cast<std::size_t>(j)];
            column[p] = column_scale * t * power;
            basis[p] = power * t;
            row[p] = basis[p] * lambda_sq;
        }
    }
    const auto n = static_cast<std::size_t>(parameter_count);
    for (std::size_t p = 0; p < n; ++p) {
        auto& a_row = eq.a[p];
        const double rp = row[p];
        for (std::size_t q = p; q < n; ++q) a_row[q] += column[q] * rp;
        eq.b[p] += rhs_scale * basis[p];
    }
    ++eq.accepted;
}

void bldnml(const std::string& fcf_name, const input::CrystalData& crystal, const input::RunParameters& parameters,
            const ReciprocalCell& rc, NormalEquations& eq, textio::OutputChannel& console) {
    console.write_free({"  Building the normal equations ..."});
    const auto file = textio::open_or_stop(fcf_name, console);
    const Screening screening(crystal, parameters);
    input::ReflectionReader reader(*file);
    for (input::Reflection r = reader.first(); !r.is_terminator(); r = reader.next()) {
        const Geometry g = reflection_geometry(rc, crystal.lambda_sq, r.h, r.k, r.l);
        if (screening.accepts(r, g.sin2))
            add_reflection(eq, r, g, crystal.lambda_sq, parameters.parameter_count, parameters.terms,
                           parameters.top_power);
    }
}

}  // namespace velor::model
