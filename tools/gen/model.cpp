#include "gen/model.hpp"

#include <algorithm>
#include <cmath>

#include "gen/detmath.hpp"
#include "gen/fixed_format.hpp"
#include "gen/random.hpp"

namespace velor::gen {

namespace {

// Wilson statistics (Wilson 1949): the mean intensity at sin(theta)/lambda is
// sum(f^2) exp(-2B (sin(theta)/lambda)^2). With this scale and an overall
// B of 3 A^2 the intensities of a typical data set run from about 0.1 to 1e5,
// a few hundred being typical.
constexpr double kWilsonScale = 4000.0;
constexpr double kWilsonB = 3.0;
// Weak reflections: Fc^2 uniform in (0, 2], comparable to their sigma.
constexpr double kWeakFc2 = 2.0;
// Counting statistics: sigma(Fo^2) = sqrt(Fo^2) plus a background term.
constexpr double kSigmaFloor = 0.5;
constexpr std::uint64_t kModelStream = 0x6a09e667f3bcc909ULL;
constexpr std::uint64_t kStructureStream = 0xbb67ae8584caa73bULL;

}  // namespace

FitShape fit_shape(FitType fit) {
    switch (fit) {
        case FitType::cubic: return {24, 4, 3};
        case FitType::quadratic: return {18, 3, 2};
        case FitType::linear: return {12, 2, 1};
        case FitType::flat: return {6, 1, 0};
    }
    return {6, 1, 0};
}

// S = lambda^2 sum_p x_p (sin^2 theta)^e_p T_j(p). Since lambda^2 T_j / sin^2 theta
// depends only on the direction of the reflection, S is, term by term, a power
// (sin^2 theta)^(e_i + 1) >= 0 times a quadratic form n' C_i n in the unit
// vector n along the reciprocal-lattice vector. In the basis of unit vectors
// along a*, b*, c* that form has the matrix M_i = B' C_i B (B: those unit
// vectors as columns), and x_(j+6(i-1)) are M11, M22, M33, M12, M13, M23.
// C = identity on the last term (power 0) gives x = (1, 1, 1, cos gamma*,
// cos beta*, cos alpha*) and S = 1 exactly.
//
// The true model is that times 1 + beta, plus on every term a random
// symmetric C_i divided by sin2theta_max^power, so that each term matters
// across the data. The perturbation is scaled so that its largest value over
// the sphere, sampled on 2000 directions and 21 angles, is `amplitude`:
// S then spans about 1 + beta -+ amplitude, inside 0.6 .. 1.55.
ScaleModel make_true_model(FitType fit, const ReciprocalCell& rc, double sin2theta_max,
                           std::uint64_t model_seed) {
    using Matrix = std::array<std::array<double, 3>, 3>;
    const FitShape shape = fit_shape(fit);
    const auto nterms = static_cast<std::size_t>(shape.nterms);
    Xoshiro256 rng(model_seed ^ kModelStream);
    const auto axes = reciprocal_axes(rc);

    const double beta = -0.05 + 0.25 * rng.uniform_open();
    const double amplitude = 0.25 + 0.1 * rng.uniform_open();
    std::array<Matrix, 4> c{};
    for (std::size_t i = 0; i < nterms; ++i) {
        const double weight = 0.5 + rng.uniform_open();
        const auto [d0, d1] = rng.normal_pair();
        const auto [d2, o01] = rng.normal_pair();
        const auto [o02, o12] = rng.normal_pair();
        c[i] = {{{d0, o01, o02}, {o01, d1, o12}, {o02, o12, d2}}};
        double norm2 = 0.0;
        for (const auto& row : c[i])
            for (double v : row) norm2 += v * v;
        for (auto& row : c[i])
            for (double& v : row) v *= weight / std::sqrt(norm2);
    }

    // Largest |perturbation| with sin^2 theta = f sin2theta_max, f in [0, 1],
    // over a Fibonacci lattice of directions (the form is even in n).
    double largest = 0.0;
    constexpr int kDirections = 2000;
    constexpr double kGoldenAngle = 2.39996322972865332;
    for (int k = 0; k < kDirections; ++k) {
        const double z = 1.0 - (2.0 * k + 1.0) / kDirections;
        const double r = std::sqrt(1.0 - z * z);
        const detmath::SinCos phi = detmath::sincos(kGoldenAngle * k);
        const std::array<double, 3> n = {r * phi.cos, r * phi.sin, z};
        std::array<double, 4> q{};
        for (std::size_t i = 0; i < nterms; ++i)
            for (std::size_t u = 0; u < 3; ++u)
                for (std::size_t v = 0; v < 3; ++v) q[i] += n[u] * c[i][u][v] * n[v];
        for (int step = 0; step <= 20; ++step) {
            const double f = step / 20.0;
            double d = 0.0;
            for (std::size_t i = 0; i < nterms; ++i) {
                double f_pow = 1.0;
                for (int e = 0; e < shape.top_power - static_cast<int>(i); ++e) f_pow *= f;
                d += f_pow * q[i];
            }
            largest = std::max(largest, std::fabs(d));
        }
    }

    ScaleModel model;
    model.fit = fit;
    for (std::size_t i = 0; i < nterms; ++i) {
        const int power = shape.top_power - static_cast<int>(i);  // of sin^2(theta) in S
        double s_pow = 1.0;
        for (int e = 0; e < power; ++e) s_pow *= sin2theta_max;
        Matrix ci = c[i];
        for (auto& row : ci)
            for (double& v : row) v *= amplitude / (largest * s_pow);
        if (power == 0)
            for (std::size_t n = 0; n < 3; ++n) ci[n][n] += 1.0 + beta;

        Matrix m{};  // B' C B
        for (std::size_t r = 0; r < 3; ++r)
            for (std::size_t q = 0; q < 3; ++q)
                for (std::size_t u = 0; u < 3; ++u)
                    for (std::size_t v = 0; v < 3; ++v)
                        m[r][q] += axes[u][r] * ci[u][v] * axes[v][q];
        const std::size_t base = 6 * i;
        model.x[base + 0] = m[0][0];
        model.x[base + 1] = m[1][1];
        model.x[base + 2] = m[2][2];
        model.x[base + 3] = m[0][1];
        model.x[base + 4] = m[0][2];
        model.x[base + 5] = m[1][2];
    }
    return model;
}

double scale_factor(const ScaleModel& model, const Geometry& g, double lambda_sq) {
    const auto& x = model.x;
    const double s = g.sin2theta;
    const double s2 = s * s;
    const int n = fit_shape(model.fit).nparam;
    std::array<double, 6> p{};
    for (std::size_t j = 0; j < 6; ++j) {
        const double t = g.t[j];
        switch (n) {
            case 24:
                p[j] = x[j] * s2 * t + x[j + 6] * s * t + x[j + 12] * t + x[j + 18] * t / s;
                break;
            case 18: p[j] = x[j] * s * t + x[j + 6] * t + x[j + 12] * t / s; break;
            case 12: p[j] = x[j] * t + x[j + 6] * t / s; break;
            default: p[j] = x[j] * t / s; break;
        }
    }
    return lambda_sq * (p[0] + p[1] + p[2] + p[3] + p[4] + p[5]);
}

double displacement_scale(const std::array<double, 6>& delta_u, const ReciprocalCell& rc, Miller m) {
    const auto axes = reciprocal_axes(rc);  // unit vectors of a*, b*, c* as columns
    const std::array<double, 3> along = {m.h * rc.a_star, m.k * rc.b_star, m.l * rc.c_star};
    std::array<double, 3> h{};
    for (std::size_t u = 0; u < 3; ++u)
        for (std::size_t a = 0; a < 3; ++a) h[u] += axes[u][a] * along[a];
    const auto& d = delta_u;
    const double form = d[0] * h[0] * h[0] + d[1] * h[1] * h[1] + d[2] * h[2] * h[2] +
                        2.0 * (d[3] * h[0] * h[1] + d[4] * h[0] * h[2] + d[5] * h[1] * h[2]);
    constexpr double kFourPiSquared = 39.47841760435743;
    return detmath::exp(-kFourPiSquared * form);
}

Structure structure_factor(const IntensitySettings& st, Miller m, double sin2theta) {
    const auto packed = (static_cast<std::uint64_t>(m.h + 2048) << 24) |
                        (static_cast<std::uint64_t>(m.k + 2048) << 12) |
                        static_cast<std::uint64_t>(m.l + 2048);
    std::uint64_t state = mix64(st.seed ^ kStructureStream) ^ packed;
    const double u_intensity = open_unit(splitmix64(state));
    const double u_kind = open_unit(splitmix64(state));

    Kind kind = Kind::normal;
    if (u_kind < st.negative_fraction)
        kind = Kind::negative;
    else if (u_kind < st.negative_fraction + st.weak_fraction)
        kind = Kind::weak;

    double fc2 = 0.0;
    if (kind == Kind::normal) {
        // Acentric Wilson distribution: exponential with the local mean intensity.
        const double stol2 = sin2theta / (st.lambda * st.lambda);  // (sin(theta)/lambda)^2
        const double mean = kWilsonScale * detmath::exp(-2.0 * kWilsonB * stol2);
        fc2 = -mean * detmath::log(u_intensity);
    } else {
        fc2 = kWeakFc2 * u_intensity;
    }
    fc2 = std::clamp(fc2, 0.01, kMaxFc2);
    // Keep exactly the value written with two decimals.
    fc2 = static_cast<double>(scaled_round(fc2, 2).value_or(1)) / 100.0;
    return {fc2, kind};
}

Observation observe(const IntensitySettings& st, const Structure& sf, double scale,
                    double sin2theta, double z1, double z2) {
    z1 = std::clamp(z1, -kMaxDeviates, kMaxDeviates);
    z2 = std::clamp(z2, -kMaxDeviates, kMaxDeviates);
    // velor reads Fc^2 in single precision; use that value so
    // that noise-free data satisfy Fo^2 = S Fc^2 up to the rounding of Fo^2.
    const double fc2 = static_cast<double>(static_cast<float>(sf.fc2));
    double intensity = scale * fc2;
    if (st.extinction > 0.0) {
        // Secondary extinction in the empirical form of the EXTI instruction,
        // I' = I (1 + 0.001 x I lambda^3 / sin 2theta)^(-1/2): strongest for
        // strong low-angle reflections.
        const double sin_2theta = std::max(1e-3, 2.0 * std::sqrt(sin2theta * (1.0 - sin2theta)));
        const double l3 = st.lambda * st.lambda * st.lambda;
        intensity /= std::sqrt(1.0 + 0.001 * st.extinction * intensity * l3 / sin_2theta);
    }
    const double sigma = std::sqrt(std::max(intensity, 0.0)) + kSigmaFloor;
    if (sf.kind == Kind::negative) return {-sigma * (0.1 + std::fabs(z2)), sigma};
    return {intensity + st.noise * sigma * z1, sigma};
}

double max_fo2(const IntensitySettings& st, const Structure& sf, double scale) {
    if (sf.kind == Kind::negative) return 0.0;
    const double intensity = scale * sf.fc2;
    return intensity + st.noise * kMaxDeviates * (std::sqrt(intensity) + kSigmaFloor);
}

}  // namespace velor::gen
