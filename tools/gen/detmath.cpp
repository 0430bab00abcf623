#include "gen/detmath.hpp"

#include <cmath>
#include <limits>

namespace velor::gen::detmath {

namespace {

// ln 2 and pi/2 split into a head with trailing zero bits, so that k*head is
// exact for the small multiples used in argument reduction (Cody & Waite 1980).
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kPio2Hi = 1.57079632673412561417e+00;  // first 33 bits of pi/2
constexpr double kPio2Lo = 6.07710050650619224932e-11;  // pi/2 - kPio2Hi
constexpr double kSqrtHalf = 0.70710678118654752440;

}  // namespace

double exp(double x) {
    if (std::isnan(x)) return x;
    if (x > 709.78) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0.0;
    // x = k ln2 + r with |r| <= ln2/2, e^x = 2^k e^r.
    const double k = std::floor(x * kInvLn2 + 0.5);
    const double r = (x - k * kLn2Hi) - k * kLn2Lo;
    // Taylor series in Horner form, 1 + r(1 + r/2(1 + r/3(...))); the 16th term
    // is below 1e-20 for |r| <= 0.347.
    double p = 1.0;
    for (int n = 16; n >= 1; --n) p = 1.0 + (r / static_cast<double>(n)) * p;
    return std::ldexp(p, static_cast<int>(k));
}

double log(double x) {
    if (std::isnan(x) || x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (std::isinf(x)) return x;
    int e = 0;
    double m = std::frexp(x, &e);  // x = m 2^e, 0.5 <= m < 1
    if (m < kSqrtHalf) {
        m *= 2.0;
        --e;
    }
    // ln m = 2 atanh(f), f = (m-1)/(m+1), |f| <= 0.1716; m-1 is exact here.
    const double f = (m - 1.0) / (m + 1.0);
    const double f2 = f * f;
    double sum = 0.0;
    for (int n = 14; n >= 0; --n) sum = 1.0 / static_cast<double>(2 * n + 1) + f2 * sum;
    const double ln_m = 2.0 * f * sum;
    const double de = static_cast<double>(e);
    return de * kLn2Hi + (ln_m + de * kLn2Lo);
}

SinCos sincos(double x) {
    // x = q pi/2 + r with |r| <= pi/4.
    const double q = std::floor(x * kTwoOverPi + 0.5);
    const double r = (x - q * kPio2Hi) - q * kPio2Lo;
    const double r2 = r * r;
    // Taylor series of sin r / r and cos r; the terms left out are below 1e-22.
    double s = 1.0;
    for (int n = 21; n >= 3; n -= 2) s = 1.0 - r2 / static_cast<double>(n * (n - 1)) * s;
    double c = 1.0;
    for (int n = 22; n >= 2; n -= 2) c = 1.0 - r2 / static_cast<double>(n * (n - 1)) * c;
    s *= r;
    switch (static_cast<long long>(q) & 3) {
        case 0: return {s, c};
        case 1: return {c, -s};
        case 2: return {-s, -c};
        default: return {-c, s};
    }
}

}  // namespace velor::gen::detmath
