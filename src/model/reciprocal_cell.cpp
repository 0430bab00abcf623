#include "model/reciprocal_cell.hpp"

#include <cmath>
#include <string>

#include "textio/errors.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::model {
namespace {

// Degrees to radians with π in single precision; the product and quotient
// are formed in double precision and the result rounded to single.
float radians(float degrees) {
    constexpr float kPi = 3.1415927f;
    return static_cast<float>(static_cast<double>(degrees) * static_cast<double>(kPi) / 180.0);
}

std::string describe(const input::CrystalData& c, float alpha_deg, float beta_deg, float gamma_deg) {
    std::string s;
    for (float v : {c.a, c.b, c.c}) s += textio::format_f(v, 10, 4);
    for (float v : {alpha_deg, beta_deg, gamma_deg}) s += textio::format_f(v, 10, 3);
    return s;
}

[[noreturn]] void impossible_cell(const input::CrystalData& c, float alpha_deg, float beta_deg, float gamma_deg,
                                  const char* what) {
    throw textio::RunStop(textio::kExitStopped, std::string("impossible unit cell") +
                                                    describe(c, alpha_deg, beta_deg, gamma_deg) + ": " + what);
}

}  // namespace

ReciprocalCell rscell(input::CrystalData& crystal) {
    const float alpha_deg = crystal.alpha, beta_deg = crystal.beta, gamma_deg = crystal.gamma;
    const auto usable = [](float v) { return std::isfinite(v) && v > 0.0f; };
    if (!(usable(crystal.a) && usable(crystal.b) && usable(crystal.c)))
        impossible_cell(crystal, alpha_deg, beta_deg, gamma_deg, "a cell length is not a number greater than zero");
    if (!usable(crystal.lambda))
        throw textio::RunStop(textio::kExitStopped, "impossible wavelength" + textio::format_f(crystal.lambda, 10, 5) +
                                                        " on the cell line: it must be a number greater than zero");

    crystal.alpha = radians(crystal.alpha);
    crystal.beta = radians(crystal.beta);
    crystal.gamma = radians(crystal.gamma);
    const double ca = std::cos(static_cast<double>(crystal.alpha));
    const double cb = std::cos(static_cast<double>(crystal.beta));
    const double cg = std::cos(static_cast<double>(crystal.gamma));
    const double sa = std::sin(static_cast<double>(crystal.alpha));
    const double sb = std::sin(static_cast<double>(crystal.beta));
    const double sg = std::sin(static_cast<double>(crystal.gamma));

    // Volume of the cell with unit edges.
    const double radicand = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    if (!(radicand > 0.0))
        impossible_cell(crystal, alpha_deg, beta_deg, gamma_deg, "the cell angles enclose no volume");
    const double v_unit = std::sqrt(radicand);
    const float ab = crystal.a * crystal.b;  // single precision, as the volume always was
    const double volume = v_unit * static_cast<double>(ab) * static_cast<double>(crystal.c);
    if (!(std::isfinite(volume) && volume > 0.0))
        impossible_cell(crystal, alpha_deg, beta_deg, gamma_deg, "its volume is out of range");

    ReciprocalCell rc;
    rc.a = static_cast<double>(crystal.b) * static_cast<double>(crystal.c) * sa / volume;
    rc.b = static_cast<double>(crystal.a) * static_cast<double>(crystal.c) * sb / volume;
    rc.c = static_cast<double>(crystal.a) * static_cast<double>(crystal.b) * sg / volume;
    rc.cos_alpha = (cb * cg - ca) / (sb * sg);
    rc.cos_beta = (ca * cg - cb) / (sa * sg);
    rc.cos_gamma = (ca * cb - cg) / (sa * sb);
    return rc;
}

Geometry reflection_geometry(const ReciprocalCell& rc, double lambda_sq, std::int32_t h, std::int32_t k,
                             std::int32_t l) {
    // Index products in 32-bit integers (unsigned arithmetic wraps as the
    // products of huge indices always did), then to floating point.
    const auto product = [](std::int32_t x, std::int32_t y) {
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(x) *
                                                             static_cast<std::uint32_t>(y)));
    };
    Geometry g;
    g.t[0] = 0.25 * rc.a * rc.a * product(h, h);
    g.t[1] = 0.25 * rc.b * rc.b * product(k, k);
    g.t[2] = 0.25 * rc.c * rc.c * product(l, l);
    g.t[3] = 0.5 * rc.a * rc.b * product(h, k);
    g.t[4] = 0.5 * rc.a * rc.c * product(h, l);
    g.t[5] = 0.5 * rc.b * rc.c * product(k, l);
    const double sum =
        ((((g.t[0] + g.t[1]) + g.t[2]) + g.t[3] * rc.cos_gamma) + g.t[4] * rc.cos_beta) + g.t[5] * rc.cos_alpha;
    g.sin2 = sum * lambda_sq;
    return g;
}

double integer_power(double x, int exponent) {
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

std::array<double, 24> basis_functions(const Geometry& g, int terms, int top_power) {
    std::array<double, 24> basis{};
    for (int i = 1; i <= terms; ++i) {
        const double power = integer_power(g.sin2, top_power - i);
        for (int j = 0; j < 6; ++j) basis[static_cast<std::size_t>(j + 6 * (i - 1))] = power * g.t[static_cast<std::size_t>(j)];
    }
    return basis;
}

}  // namespace velor::model
