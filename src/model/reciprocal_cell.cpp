#include "model/reciprocal_cell.hpp"

#include <cmath>
#include <string>

#include "model/portable_math.hpp"
#include "stops/run_stop.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::model {
namespace {

// Degrees to radians with π in single precision; the product and quotient
// are formed in double precision and the result rounded to single.  The
// reciprocal cell, and so every sin²θ, depends on these roundings bit for
// bit.
float radians(float degrees) {
    constexpr float kPi = 3.1415927f;
    return static_cast<float>(static_cast<double>(degrees) * static_cast<double>(kPi) / 180.0);
}

std::string describe(const input::CrystalData& c) {
    std::string s;
    for (float v : {c.a, c.b, c.c}) s += textio::format_f(v, 10, 4);
    for (float v : {c.alpha_deg, c.beta_deg, c.gamma_deg}) s += textio::format_f(v, 10, 3);
    return s;
}

[[noreturn]] void impossible_cell(const input::CrystalData& c, const char* what) {
    stop_run("impossible unit cell" + describe(c) + ": " + what);
}

// Values no crystal can have stop the run before the fit, with what is
// wrong, rather than giving scale factors of any sign.
void require_possible(const input::CrystalData& crystal) {
    const auto usable = [](float v) { return std::isfinite(v) && v > 0.0f; };
    if (!(usable(crystal.a) && usable(crystal.b) && usable(crystal.c)))
        impossible_cell(crystal, "a cell length is not a number greater than zero");
    const auto between_0_and_180 = [](float v) { return v > 0.0f && v < 180.0f; };
    if (!(between_0_and_180(crystal.alpha_deg) && between_0_and_180(crystal.beta_deg) &&
          between_0_and_180(crystal.gamma_deg)))
        impossible_cell(crystal, "a cell angle is not between 0 and 180 degrees");
    if (!usable(crystal.lambda))
        stop_run("impossible wavelength" + textio::format_f(crystal.lambda, 10, 5) +
                 " on the cell line: it must be a number greater than zero");
    // Every corrected intensity is multiplied by OSF²: a zero or negative
    // scale would write zeros or sign-flipped data.
    if (!usable(crystal.osf))
        stop_run("impossible overall scale factor" + textio::format_f(crystal.osf, 10, 5) +
                 " (the first FVAR value): it must be a number greater than zero");
}

}  // namespace

ReciprocalCell rscell(const input::CrystalData& crystal) {
    require_possible(crystal);
    const float alpha_rad = radians(crystal.alpha_deg);
    const float beta_rad = radians(crystal.beta_deg);
    const float gamma_rad = radians(crystal.gamma_deg);
    const double ca = portable::cos(static_cast<double>(alpha_rad));
    const double cb = portable::cos(static_cast<double>(beta_rad));
    const double cg = portable::cos(static_cast<double>(gamma_rad));
    const double sa = portable::sin(static_cast<double>(alpha_rad));
    const double sb = portable::sin(static_cast<double>(beta_rad));
    const double sg = portable::sin(static_cast<double>(gamma_rad));

    // Volume of the cell with unit edges.
    const double radicand = 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
    if (!(radicand > 0.0)) impossible_cell(crystal, "the cell angles enclose no volume");
    const double v_unit = std::sqrt(radicand);
    // a·b is rounded to single precision before the rest is multiplied in:
    // the reciprocal lengths, and with them every scale factor written,
    // depend on that rounding in their last bits.
    const float ab = crystal.a * crystal.b;
    const double volume = v_unit * static_cast<double>(ab) * static_cast<double>(crystal.c);
    if (!(std::isfinite(volume) && volume > 0.0)) impossible_cell(crystal, "its volume is out of range");

    ReciprocalCell rc;
    rc.a = static_cast<double>(crystal.b) * static_cast<double>(crystal.c) * sa / volume;
    rc.b = static_cast<double>(crystal.a) * static_cast<double>(crystal.c) * sb / volume;
    rc.c = static_cast<double>(crystal.a) * static_cast<double>(crystal.b) * sg / volume;
    rc.cos_alpha = (cb * cg - ca) / (sb * sg);
    rc.cos_beta = (ca * cg - cb) / (sa * sg);
    rc.cos_gamma = (ca * cb - cg) / (sa * sb);
    return rc;
}

}  // namespace velor::model
