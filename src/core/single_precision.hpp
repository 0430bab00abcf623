// Which values of a run are single precision, and why; and the steps that
// are taken in single precision on purpose.
//
// The three files and the console are read by scripts and compared with
// the files of earlier runs: every digit written must be the digit the
// program has always written.  The values below were single precision
// (IEEE binary32) when those digits were fixed, and they stay so: taking
// them in double precision instead would move the last printed digit of
// some coefficients, scale factors, corrected intensities and R-values,
// and screen a few reflections at the limits the other way.
//
// Single precision:
// - every number read from the files: λ, the cell, OSF and F(000)
//   (CrystalData), and Fc², Fo² and σ(Fo²) of each reflection (Reflection);
// - the run parameters (the sin θ cut-offs, OMIT, the screening constants)
//   and the fixed U;
// - the steps of this header: the cell angles in radians, the product a·b
//   of the cell volume, the extinction limit, 16π² of the temperature
//   factor, and 1/OSF² with the intensities on the scale of the refinement
//   and their roots, for the R-value before the correction.
// Everything else is double precision: λ², the reciprocal cell, the
// geometry of each reflection, the normal equations and the fit, S, the
// corrected intensities and every sum.
//
// Each step is written as the bits depend on it: which operand is widened
// before an operation and which result is rounded back.  No product and sum
// is contracted into a fused multiply-add (-ffp-contract=off), and sin,
// cos, exp and cbrt are the program's own (model/portable_math.hpp), so
// the bits are the same on every system and compiler.
#pragma once

#include <cmath>

namespace velor::core::single {

// Degrees to radians with π in single precision: the product and quotient
// in double precision, the result rounded to single.
inline float radians(float degrees) {
    constexpr float kPi = 3.1415927f;
    return static_cast<float>(static_cast<double>(degrees) * static_cast<double>(kPi) / 180.0);
}

// a·b of the cell volume, rounded to single precision before the rest of
// the volume is multiplied in.
inline float cell_product(float a, float b) { return a * b; }

// The sin θ below which a strong reflection is suspected of extinction:
// 0.35·√λ, with the constant in single precision, the root and the product
// in double and the result rounded to single.  A root in single precision
// would differ in the last bit for wavelengths such as 1.7902 Å.
inline float extinction_limit(float lambda) {
    return static_cast<float>(static_cast<double>(0.35f) * std::sqrt(static_cast<double>(lambda)));
}

// 16π² to two decimals: the temperature factor of the intensity ceiling is
// E = exp(−16π²·U·sin²θ/λ²), with B = 8π²U.
inline constexpr float kSixteenPiSquared = 157.92f;

// 1/OSF², rounded from its double-precision value.
inline float inverse_osf_squared(double z) { return static_cast<float>(z); }

// √|I·OSF²| of an intensity of the reflection file, I/(1/OSF²) in single
// precision: the R-value before the correction compares the refinement's
// amplitudes on its own scale.
inline float root_on_refinement_scale(float intensity, float z1) { return std::sqrt(std::fabs(intensity / z1)); }

}  // namespace velor::core::single
