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

// Converts the cell angles to radians in place (single precision, as the
// stored degrees were) and forms the reciprocal cell.  A cell with a length
// not above zero, or angles that close no volume, stops the run.
ReciprocalCell rscell(input::CrystalData& crystal);

// The six components of the reflection's direction tensor and sin²θ.
struct Geometry {
    std::array<double, 6> t{};  // T1..T6
    double sin2 = 0.0;          // sin²θ
};

// T1 = h²a*²/4, T2 = k²b*²/4, T3 = l²c*²/4, T4 = hk·a*b*/2, T5 = hl·a*c*/2,
// T6 = kl·b*c*/2, and sin²θ = λ²/(4d²) = λ²·(T1 + T2 + T3 + T4 cos γ* +
// T5 cos β* + T6 cos α*), summed in that order.
Geometry reflection_geometry(const ReciprocalCell& rc, double lambda_sq, std::int32_t h, std::int32_t k,
                             std::int32_t l);

// sin²θ raised to a small whole power (−1 to 2).
double integer_power(double x, int exponent);

// The basis functions g_p = (sin²θ)^(t−i)·T_j, p = j + 6(i−1), for the
// `terms` polynomial terms i = 1..m with top power t.
std::array<double, 24> basis_functions(const Geometry& g, int terms, int top_power);

}  // namespace velor::model
