// The reciprocal cell, and the geometry of a reflection in it.
#pragma once

#include <array>
#include <cstdint>

#include "input/crystal_data.hpp"

namespace velor::model {

struct ReciprocalCell {
    double a = 0.0, b = 0.0, c = 0.0;  // a*, b*, c*, Å⁻¹
    double cos_alpha = 0.0, cos_beta = 0.0, cos_gamma = 0.0;  // cos α*, cos β*, cos γ*
};

// Forms the reciprocal cell of the direct cell, with the angles turned into
// radians in single precision.  Crystal data that no crystal can have (a
// length, λ or OSF not above zero, an angle not between 0° and 180°, angles
// that enclose no volume) stop the run.
ReciprocalCell rscell(const input::CrystalData& crystal);

// The six components of the reflection's direction tensor and sin²θ.
struct Geometry {
    std::array<double, 6> t{};  // T1..T6
    double sin2 = 0.0;          // sin²θ
};

// T1 = h²a*²/4, T2 = k²b*²/4, T3 = l²c*²/4, T4 = hk·a*b*/2, T5 = hl·a*c*/2,
// T6 = kl·b*c*/2, and sin²θ = λ²/(4d²) = λ²·(T1 + T2 + T3 + T4 cos γ* +
// T5 cos β* + T6 cos α*), summed in that order.  The factors of the cell
// that every reflection shares, 0.25·a*·a* and the others, are formed once,
// grouped as the products are evaluated (left to right).
class GeometryOfReflections {
public:
    GeometryOfReflections(const ReciprocalCell& rc, double lambda_sq)
        : f_{0.25 * rc.a * rc.a, 0.25 * rc.b * rc.b, 0.25 * rc.c * rc.c,
             0.5 * rc.a * rc.b,  0.5 * rc.a * rc.c,  0.5 * rc.b * rc.c},
          cos_alpha_(rc.cos_alpha),
          cos_beta_(rc.cos_beta),
          cos_gamma_(rc.cos_gamma),
          lambda_sq_(lambda_sq) {}

    // Inline: both passes evaluate it for every reflection.
    Geometry operator()(std::int32_t h, std::int32_t k, std::int32_t l) const {
        // The index products are formed in 32-bit integers and then
        // converted: indices beyond 46340 overflow, and the product must
        // then be the wrapped 32-bit value (taken through unsigned
        // arithmetic, where the wrap is defined) for the geometry to be the
        // same on every machine.
        const auto product = [](std::int32_t x, std::int32_t y) {
            return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(x) *
                                                                 static_cast<std::uint32_t>(y)));
        };
        Geometry g;
        g.t[0] = f_[0] * product(h, h);
        g.t[1] = f_[1] * product(k, k);
        g.t[2] = f_[2] * product(l, l);
        g.t[3] = f_[3] * product(h, k);
        g.t[4] = f_[4] * product(h, l);
        g.t[5] = f_[5] * product(k, l);
        const double sum =
            ((((g.t[0] + g.t[1]) + g.t[2]) + g.t[3] * cos_gamma_) + g.t[4] * cos_beta_) + g.t[5] * cos_alpha_;
        g.sin2 = sum * lambda_sq_;
        return g;
    }

private:
    std::array<double, 6> f_;
    double cos_alpha_, cos_beta_, cos_gamma_, lambda_sq_;
};

// The geometry of one reflection.
inline Geometry reflection_geometry(const ReciprocalCell& rc, double lambda_sq, std::int32_t h, std::int32_t k,
                                    std::int32_t l) {
    return GeometryOfReflections(rc, lambda_sq)(h, k, l);
}

// sin²θ raised to a small whole power (−1 to 2 in the fits).
inline double integer_power(double x, int exponent) {
    switch (exponent) {
        case 0: return 1.0;
        case 1: return x;
        case 2: return x * x;
        case -1: return 1.0 / x;
        default: {
            double r = 1.0;
            for (int i = 0; i < (exponent < 0 ? -exponent : exponent); ++i) r *= x;
            return exponent < 0 ? 1.0 / r : r;
        }
    }
}

}  // namespace velor::model
