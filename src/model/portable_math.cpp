#include "model/portable_math.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace velor::model::portable {
namespace {

// A value hi + lo with |lo| <= ulp(hi)/2: about 106 bits.
struct DD {
    double hi, lo;
};

DD fast_two_sum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

DD two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// Veltkamp's split and Dekker's exact product.
DD split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

DD two_prod(double a, double b) {
    const double p = a * b;
    const DD x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

DD add(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    return fast_two_sum(s.hi, s.lo + (a.lo + b.lo));
}

DD mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DD div(DD a, double n) {
    const double q = a.hi / n;
    const DD p = two_prod(q, n);
    return fast_two_sum(q, (((a.hi - p.hi) - p.lo) + a.lo) / n);
}

// 1/k! for k = 0 .. 30.
const std::array<DD, 31>& inverse_factorials() {
    static const std::array<DD, 31> table = [] {
        std::array<DD, 31> t{};
        t[0] = {1.0, 0.0};
        for (int k = 1; k < 31; ++k) t[static_cast<std::size_t>(k)] = div(t[static_cast<std::size_t>(k - 1)], k);
        return t;
    }();
    return table;
}

// Sum of (±)1/k! y^((k-first)/2) for k = first, first+2, .., last, by Horner.
DD series(DD y, int first, int last, bool alternating) {
    const auto& f = inverse_factorials();
    DD s = f[static_cast<std::size_t>(last)];
    if (alternating && ((last - first) / 2) % 2 == 1) s = {-s.hi, -s.lo};
    for (int k = last - 2; k >= first; k -= 2) {
        DD c = f[static_cast<std::size_t>(k)];
        if (alternating && ((k - first) / 2) % 2 == 1) c = {-c.hi, -c.lo};
        s = add(mul(s, y), c);
    }
    return s;
}

// x - k π/2 with π/2 to 159 bits (three parts), and k mod 4.
DD reduce(double x, int& quadrant) {
    constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
    constexpr double kPio2[3] = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54, -0x1.f1976b7ed8fbcp-110};
    const double k = std::floor(x * kTwoOverPi + 0.5);
    DD r = {x, 0.0};
    for (double part : kPio2) {
        const DD p = two_prod(k, part);
        r = add(r, {-p.hi, -p.lo});
    }
    quadrant = static_cast<int>(k - 4.0 * std::floor(k * 0.25));
    return r;
}

double sin_or_cos(double x, int shift) {
    if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
    int quadrant = 0;
    const DD r = reduce(x, quadrant);
    const DD r2 = mul(r, r);
    quadrant = (quadrant + shift) % 4;
    // sin r = r (1 - r²/3! + ...), cos r = 1 - r²/2! + ...; |r| <= π/4.
    const DD v = quadrant % 2 == 0 ? mul(r, series(r2, 1, 29, true)) : series(r2, 0, 30, true);
    const double result = v.hi + v.lo;
    return quadrant >= 2 ? -result : result;
}

// e^x as s 2^n, s in double-double.
DD exp_parts(double x, int& n) {
    constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
    constexpr double kLn2[3] = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56, 0x1.7b57a079a1934p-111};
    const double k = std::floor(x * kInverseLn2 + 0.5);
    DD r = {x, 0.0};
    for (double part : kLn2) {
        const DD p = two_prod(k, part);
        r = add(r, {-p.hi, -p.lo});
    }
    // e^r by its series, |r| <= ln 2 / 2, then times 2^k in two exact steps
    // (the second rounds only a subnormal result).
    const auto& f = inverse_factorials();
    DD s = f[24];
    for (int j = 23; j >= 0; --j) s = add(mul(s, r), f[static_cast<std::size_t>(j)]);
    n = static_cast<int>(k);
    return s;
}

}  // namespace

double sin(double x) { return sin_or_cos(x, 0); }

double cos(double x) { return sin_or_cos(x, 1); }

double exp(double x) {
    if (std::isnan(x)) return x;
    if (x > 709.8) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0.0;
    int n = 0;
    const DD s = exp_parts(x, n);
    const int half = n / 2;
    const auto power_of_two = [](int e) { return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52); };
    return (s.hi + s.lo) * power_of_two(half) * power_of_two(n - half);
}

double cbrt(double x) {
    const double start = std::cbrt(x);
    if (!std::isnormal(start) || !std::isnormal(x)) return start;
    // |c³ - x| by way of c² as an exact product, times c in double-double.
    const auto miss = [x](double c) {
        const DD cube = mul(two_prod(c, c), {c, 0.0});
        const DD d = add(cube, {-x, 0.0});
        return std::fabs(d.hi + d.lo);
    };
    double best = start;
    for (double step : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
        for (double c = std::nextafter(best, step); miss(c) < miss(best); c = std::nextafter(c, step)) best = c;
    return best;
}

double log(double x) {
    const double start = std::log(x);
    if (!std::isnormal(x) || !std::isfinite(start) || x == 1.0) return start;
    // One Newton step from the C library's value y: log x = y + log(x e^-y),
    // and x e^-y = 1 + t with |t| of a few units in the last place, so
    // log(1 + t) = t to far below them.
    int n = 0;
    const DD s = exp_parts(-start, n);
    const DD product = mul(s, {x, 0.0});
    const DD t = add({std::ldexp(product.hi, n), std::ldexp(product.lo, n)}, {-1.0, 0.0});
    return start + (t.hi + t.lo);
}

double power_of_ten(int e) {
    const std::string text = "1e" + std::to_string(e);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);  // correctly rounded
    return value;
}

int decimal_exponent(double x) {
    int e = static_cast<int>(std::floor(std::log10(x)));
    while (e > -330 && x < power_of_ten(e)) --e;
    while (e < 310 && x >= power_of_ten(e + 1)) ++e;
    return e;
}

}  // namespace velor::model::portable
