// The empirical scale model
//
//   S(h) = λ² · Σ_j T_j(h) · P_j(sin²θ),
//
// T_1..T_6 the components of the reflection's direction tensor (Geometry)
// and P_j a polynomial in sin²θ.  The four fit types are one family: a
// model of n terms gives each P_j the powers of sin²θ from n − 2 down to −1,
//
//   terms  fit type    powers of sin²θ   parameters
//     4    cubic        2   1   0  −1       24
//     3    quadratic        1   0  −1       18
//     2    linear               0  −1       12
//     1    flat                    −1        6
//
// so that each model holds the next smaller one as its last terms: the
// cubic basis holds the quadratic, linear and flat ones as its last 18, 12
// and 6 parameters.  Parameter p = j + 6i is component j (h², k², l², hk,
// hl, kl) times the power of term i, the highest power first.
#pragma once

#include <array>
#include <cstddef>

#include "core/fit_result.hpp"
#include "model/geometry.hpp"

namespace velor::model {

class ScaleModel {
public:
    static constexpr int kComponents = 6;
    static constexpr int kMaxTerms = 4;
    static constexpr int kMaxParameters = core::kMaxParameters;
    static_assert(kMaxParameters == kComponents * kMaxTerms);
    // The powers of sin²θ of the largest model's terms; a model of n terms
    // has the last n of them.
    static constexpr std::array<int, kMaxTerms> kPowers{2, 1, 0, -1};

    using Basis = std::array<double, kMaxParameters>;

    // `terms` from 1 to 4; λ² of the run.
    constexpr ScaleModel(int terms, double lambda_sq) : terms_(terms), lambda_sq_(lambda_sq) {}

    constexpr int terms() const { return terms_; }
    constexpr int parameters() const { return kComponents * terms_; }
    constexpr double lambda_sq() const { return lambda_sq_; }
    // The power of sin²θ of term i, and the component and term of parameter p.
    constexpr int power(int term) const { return power_at(kMaxTerms - terms_ + term); }
    static constexpr int component(int p) { return p % kComponents; }
    static constexpr int term(int p) { return p / kComponents; }
    // Where this model's parameters begin among those of a larger one: its
    // parameter p is the larger model's parameter p + offset_in(larger).
    constexpr int offset_in(const ScaleModel& larger) const { return kComponents * (larger.terms_ - terms_); }

    // (sin²θ)^e of each term of a model of `Terms` terms, the highest first.
    template <int Terms>
    static std::array<double, Terms> powers(double sin2) {
        std::array<double, Terms> p;
        for (int i = 0; i < Terms; ++i)
            p[static_cast<std::size_t>(i)] = integer_power(sin2, power_at(kMaxTerms - Terms + i));
        return p;
    }

    // The basis vector of a reflection: basis_p = (sin²θ)^e·T_j, so that
    // S = λ²·Σ_p x_p·basis_p.  The fit's design matrix is λ²·Fc²·basis.
    template <int Terms>
    static std::array<double, kComponents * Terms> basis(const Geometry& g, const std::array<double, Terms>& power) {
        std::array<double, kComponents * Terms> b;
        for (std::size_t i = 0; i < Terms; ++i)
            for (std::size_t j = 0; j < kComponents; ++j) b[j + kComponents * i] = power[i] * g.t[j];
        return b;
    }
    Basis basis(const Geometry& g) const;  // the first parameters() elements; the rest zero

    // S of a reflection for the coefficients x.  The terms of each P_j·T_j
    // are formed as (x·(s²)²)·T, (x·s²)·T, x·T and (x·T)/s² (s² = sin²θ)
    // and added from the highest power down, then the six components in
    // order: this order, not that of Σ x_p·basis_p, which rounds
    // differently in the last bits, is the one every written S and
    // corrected intensity depends on.
    double evaluate(const Geometry& g, const core::Coefficients& x) const {
        switch (terms_) {
            case 4: return evaluate_terms<4>(g, x);
            case 3: return evaluate_terms<3>(g, x);
            case 2: return evaluate_terms<2>(g, x);
            default: return evaluate_terms<1>(g, x);
        }
    }

private:
    static constexpr int power_at(int i) { return kPowers[static_cast<std::size_t>(i)]; }

    // x raised to a small whole power.
    static double integer_power(double x, int exponent) {
        switch (exponent) {
            case 2: return x * x;
            case 1: return x;
            case 0: return 1.0;
            default: return 1.0 / x;
        }
    }

    // x·(s²)^e·T of one term of P_j·T_j.
    static double term_value(int power, double x, double t, double s, double s_sq) {
        switch (power) {
            case 2: return x * s_sq * t;
            case 1: return x * s * t;
            case 0: return x * t;
            default: return x * t / s;
        }
    }

    template <int Terms>
    double evaluate_terms(const Geometry& g, const core::Coefficients& x) const {
        const double s = g.sin2;
        const double s_sq = s * s;
        double sum = 0.0;
        for (std::size_t j = 0; j < kComponents; ++j) {
            const double t = g.t[j];
            double p = term_value(power_at(kMaxTerms - Terms), x[j], t, s, s_sq);
            for (std::size_t i = 1; i < Terms; ++i)
                p = p + term_value(power_at(kMaxTerms - Terms + static_cast<int>(i)), x[j + kComponents * i], t, s, s_sq);
            sum = j == 0 ? p : sum + p;
        }
        return lambda_sq_ * sum;
    }

    int terms_;
    double lambda_sq_;
};

}  // namespace velor::model
