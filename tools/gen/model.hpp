// The true scale model and the intensity model of the generated data.
#pragma once

#include <array>
#include <cstdint>

#include "gen/crystal.hpp"
#include "gen/options.hpp"

namespace velor::gen {

// Parameter count n, number of polynomial terms m and top power t of a fit
// type: the basis functions are (sin^2 theta)^(t-i) * T_j, p = j + 6(i-1).
struct FitShape {
    int nparam;
    int nterms;
    int top_power;
};
FitShape fit_shape(FitType fit);

struct ScaleModel {
    FitType fit = FitType::linear;
    std::array<double, 24> x{};  // x1..xn; the rest zero
};

// A random smooth anisotropic scale model with S in about 0.6..1.6 for all
// reflections with sin^2(theta) <= sin2theta_max.
ScaleModel make_true_model(FitType fit, const ReciprocalCell& rc, double sin2theta_max,
                           std::uint64_t model_seed);

// S = lambda^2 (P1 + ... + P6), evaluated term by term as velor does.
double scale_factor(const ScaleModel& model, const Geometry& g, double lambda_sq);

// An overall anisotropic displacement as the true scale:
// S = exp(-4 pi^2 h' DU h), h the scattering vector (|h| = 2 sin(theta)/lambda,
// 1/A) in the Cartesian frame of reciprocal_axes, and DU = U11, U22, U33, U12,
// U13, U23 in A^2.  A positive definite DU weakens the data as extra
// displacement of every atom would.
double displacement_scale(const std::array<double, 6>& delta_u, const ReciprocalCell& rc, Miller m);

// How a reflection was measured.
enum class Kind : std::uint8_t { normal, weak, negative };

struct IntensitySettings {
    double lambda = 0.71073;
    double noise = 0.0;
    double negative_fraction = 0.0;
    double weak_fraction = 0.0;
    double extinction = 0.0;
    std::uint64_t seed = 1;
};

// Largest Fc^2 written; with S <= 1.6 and the noise clamp every value stays far
// inside the narrowest reflection field (F10.2 of the legacy sigma).
inline constexpr double kMaxFc2 = 1.0e6;
// Normal deviates are clamped to this many standard deviations.
inline constexpr double kMaxDeviates = 6.0;

struct Structure {
    double fc2;  // rounded to the 0.01 written, on the Fo^2 scale
    Kind kind;
};

// Fc^2 and kind of the orbit whose representative is m: drawn from a hash of
// (seed, h, k, l), so every equivalent and every run gets the same value.
Structure structure_factor(const IntensitySettings& st, Miller representative, double sin2theta);

struct Observation {
    double fo2;
    double sigma;
};

// Fo^2 and sigma(Fo^2) of one measurement of a reflection with true scale S;
// z1 and z2 are standard normal deviates.
Observation observe(const IntensitySettings& st, const Structure& sf, double scale,
                    double sin2theta, double z1, double z2);

// Upper bound of Fo^2 of any measurement of the reflection with scale factor
// at most `scale` (for F(000)); extinction only lowers it.
double max_fo2(const IntensitySettings& st, const Structure& sf, double scale);

}  // namespace velor::gen
