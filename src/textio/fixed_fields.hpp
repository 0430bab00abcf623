// The quick forms of the numeric field writers, inline so that a record
// with fixed columns (the corrected reflection records) is written with its
// widths folded in.  The rules are those of field_writer.hpp: put_f_fixed
// gives exactly what put_f gives, and falls back on it for anything the
// quick path cannot decide.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "textio/field_writer.hpp"

namespace velor::textio {
namespace detail {

// n blanks at dst, in a few word-sized stores rather than a call.
inline void put_blanks(char* dst, std::size_t n) {
    static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 <= n; i += 8) std::memcpy(dst + i, kBlanks, 8);
        std::memcpy(dst + n - 8, kBlanks, 8);
    } else if (n >= 4) {
        std::memcpy(dst, kBlanks, 4);
        std::memcpy(dst + n - 4, kBlanks, 4);
    } else {
        if (n > 0) dst[0] = ' ';
        if (n > 1) dst[1] = ' ';
        if (n > 2) dst[2] = ' ';
    }
}

inline void fill_stars(char* dst, int width) { std::memset(dst, '*', static_cast<std::size_t>(width)); }


inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline constexpr std::uint64_t kPow10Int[] = {1ull,          10ull,          100ull,          1000ull,
                                       10000ull,      100000ull,      1000000ull,      10000000ull,
                                       100000000ull,  1000000000ull,  10000000000ull,  100000000000ull,
                                       1000000000000ull, 10000000000000ull, 100000000000000ull,
                                       1000000000000000ull};

// Decimal digits of v (0 for 0).
inline int count_digits(std::uint64_t v) {
    int n = 0;
    while (n < 16 && v >= kPow10Int[n]) ++n;
    return n < 16 ? n : 16 + count_digits(v / kPow10Int[15]) - 1;
}

// Writes the last `count` digits of v ending just before `end`, two at a
// time; returns the first.
inline char* put_digits_backwards(char* end, std::uint64_t v, int count) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    for (; count >= 2; count -= 2, v /= 100) {
        const char* pair = kPairs + 2 * (v % 100);
        *--end = pair[1];
        *--end = pair[0];
    }
    if (count == 1) *--end = static_cast<char>('0' + v % 10);
    return end;
}

// The common case, decided without the long expansion: |value|·10^d held
// in a double that represents every integer up to it, and far enough from
// a rounding tie that the rounding error of the product (at most half an
// ulp) cannot change the direction.  The field is then filled from the
// right.  Returns false when it cannot decide.
[[gnu::always_inline]] inline bool put_f_quickly(char* dst, bool negative, double magnitude, int width, int decimals) {
    if (decimals > 15) return false;
    const double y = magnitude * kPow10[decimals];
    if (!(y < 4.0e15)) return false;
    // y ≥ 0 and below 2^52: truncation is the floor, and exact.
    const auto truncated = static_cast<std::uint64_t>(y);
    const double whole = static_cast<double>(truncated);
    const double fraction = y - whole;  // exact
    if (std::fabs(fraction - 0.5) <= y * 4.0e-16 + 1e-300) return false;
    const std::uint64_t n = truncated + (fraction > 0.5 ? 1u : 0u);
    const std::uint64_t scale = kPow10Int[decimals];
    const std::uint64_t int_part = n / scale;
    const int int_digits = count_digits(int_part);
    const int needed = (negative ? 1 : 0) + int_digits + 1 + decimals;
    if (needed > width) {
        fill_stars(dst, width);
        return true;
    }
    char* p = put_digits_backwards(dst + width, n % scale, decimals);
    *--p = '.';
    p = put_digits_backwards(p, int_part, int_digits);
    if (int_digits == 0 && needed < width) *--p = '0';
    if (negative) *--p = '-';
    put_blanks(dst, static_cast<std::size_t>(p - dst));
    return true;
}

[[gnu::always_inline]] inline void put_i_inline(char* dst, std::int64_t value, int width) {
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const int digits = magnitude == 0 ? 1 : count_digits(magnitude);
    if (digits + (negative ? 1 : 0) > width) {
        fill_stars(dst, width);
        return;
    }
    char* p = put_digits_backwards(dst + width, magnitude, digits);
    if (negative) *--p = '-';
    put_blanks(dst, static_cast<std::size_t>(p - dst));
}

}  // namespace detail

// An F field of W columns and D decimals.
template <int W, int D>
[[gnu::always_inline]] inline void put_f_fixed(char* dst, double value) {
    static_assert(W < 23 && D <= 15);
    if (std::isfinite(value)) {
        const double magnitude = std::fabs(value);
        if (magnitude < detail::kPow10[W] && detail::put_f_quickly(dst, std::signbit(value), magnitude, W, D)) return;
    }
    put_f(dst, value, W, D);
}

// An I field of W columns.
template <int W>
[[gnu::always_inline]] inline void put_i_fixed(char* dst, std::int64_t value) {
    detail::put_i_inline(dst, value, W);
}

}  // namespace velor::textio
