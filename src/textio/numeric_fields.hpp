// Numeric fields of fixed-column records, Iw and Fw.d: reading and writing.
//
// Reading a field and writing an F field each have two paths.  The quick
// path takes only the common case (a field right-justified as a program
// writes it; a value whose rounding a double decides) and is inline, so
// that a caller with fixed columns gets it with the widths folded in.  The
// exact path decides every case, and is the reference: for everything the
// quick path takes, the two give the same result to the last bit.  read_i,
// read_f and put_f try the quick path once, then the exact path.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace velor::textio {

// ------------------------------------------------------------------ reading

// An Iw field: blanks anywhere are ignored, an optional sign, then digits.
// An all-blank field is 0.  Anything else, a lone sign included, or a value
// outside 32 bits, gives no value (a malformed field).
std::optional<std::int32_t> read_i(std::string_view field);

// An Fw.d field: blanks anywhere are ignored; an optional sign; digits with
// at most one point (without a point the last d digits are decimals); an
// optional exponent introduced by E, e, D or d, or by a sign directly after
// the digits (1.5-3 is 0.0015); or Inf, Infinity, NaN in any case.  An
// all-blank field, or a lone sign, reads 0.  The result is the correctly
// rounded single-precision value of the decimal text.  No value means a
// malformed field.
std::optional<float> read_f(std::string_view field, int decimals);

// A real written by the rules of an F field but given as one token of
// free-format input: no implied decimals, and blanks are not part of it.
std::optional<float> read_real_token(std::string_view token);

namespace detail {

// 10^0 to 10^19, every power of ten that 64 bits hold.  Each is exact as a
// double too, and as a float up to 10^10 (5^10 < 2^24).
inline constexpr std::array<std::uint64_t, 20> kPow10 = [] {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
}();

// The index of the first byte in memory order of a word that is not zero.
constexpr std::size_t first_nonzero_byte(std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) return static_cast<std::size_t>(std::countr_zero(word)) / 8;
    else return static_cast<std::size_t>(std::countl_zero(word)) / 8;
}

// The first column of [begin, end) that is not blank; `end` if there is
// none.  Eight columns are compared at a time.
[[gnu::always_inline]] inline std::size_t first_non_blank(const char* text, std::size_t begin, std::size_t end) {
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020;
    std::size_t i = begin;
    for (; i + 8 <= end; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, 8);
        if (const std::uint64_t differs = word ^ kEightBlanks; differs != 0) return i + first_nonzero_byte(differs);
    }
    while (i < end && text[i] == ' ') ++i;
    return i;
}

// The digits in [begin, end) as a number; false if a column is not a digit.
// The caller keeps the count of digits below ten.
[[gnu::always_inline]] inline bool digits_between(const char* text, std::size_t begin, std::size_t end, std::uint32_t& value) {
    std::uint32_t v = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
        if (digit > 9) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

// The general rules above, always; what the quick readers are checked against.
std::optional<std::int32_t> read_i_exactly(std::string_view field);
std::optional<float> read_f_exactly(std::string_view field, int decimals);

}  // namespace detail

// The common form of an Iw field: blanks, a minus sign or none, then one
// to nine digits ending in the last column.  False leaves the field to
// read_i, which gives the same value for every field this takes.
[[gnu::always_inline]] inline bool read_i_quickly(std::string_view field, std::int32_t& value) {
    // Digits from the right, where a right-justified field has them.
    const char* f = field.data();
    std::size_t i = field.size();
    std::uint32_t magnitude = 0, scale = 1;
    int digits = 0;
    for (; i > 0; --i) {
        const unsigned digit = static_cast<unsigned char>(f[i - 1]) - static_cast<unsigned>('0');
        if (digit > 9) break;
        if (++digits > 9) return false;
        magnitude += digit * scale;
        scale *= 10;
    }
    if (digits == 0) return false;
    const bool negative = i > 0 && f[i - 1] == '-';
    if (negative) --i;
    if (detail::first_non_blank(f, 0, i) != i) return false;
    value = negative ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
    return true;
}

// The common form of an Fw.d field: blanks, a minus sign or none, digits,
// the point d columns from the right end and d digits after it.  With at
// most eight digits in all, d ≤ 8 and the digits making an integer M below
// 2^24, both M and 10^d are exact floats and one division rounds M/10^d
// correctly.  False leaves the field to read_f, which gives the same value
// for every field this takes.
[[gnu::always_inline]] inline bool read_f_quickly(std::string_view field, int decimals, float& value) {
    const std::size_t width = field.size();
    if (decimals < 0 || decimals > 8 || width < static_cast<std::size_t>(decimals) + 1) return false;
    const char* f = field.data();
    const std::size_t point = width - static_cast<std::size_t>(decimals) - 1;
    if (f[point] != '.') return false;
    std::size_t i = detail::first_non_blank(f, 0, point);
    const bool negative = i < point && f[i] == '-';
    if (negative) ++i;
    if (point - i + static_cast<std::size_t>(decimals) > 8) return false;
    std::uint32_t whole = 0, fraction = 0;
    if (!detail::digits_between(f, i, point, whole) || !detail::digits_between(f, point + 1, width, fraction))
        return false;
    const std::uint64_t scale = detail::kPow10[static_cast<std::size_t>(decimals)];
    const std::uint32_t mantissa = whole * static_cast<std::uint32_t>(scale) + fraction;
    if (mantissa >= (1u << 24)) return false;
    const float magnitude = static_cast<float>(mantissa) / static_cast<float>(scale);
    value = negative ? -magnitude : magnitude;
    return true;
}

// ------------------------------------------------------------------ writing

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

// A field too narrow for its value.
inline void put_stars(char* dst, int width) { std::memset(dst, '*', static_cast<std::size_t>(width)); }

// Decimal digits of v (0 for 0).  Up to sixteen are counted by compares
// alone, few enough for the compiler to unroll into compares with
// constants; more take a division first.
inline int count_digits(std::uint64_t v) {
    std::size_t n = 0;
    while (n < 16 && v >= kPow10[n]) ++n;
    return n < 16 ? static_cast<int>(n) : 15 + count_digits(v / kPow10[15]);
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

// |value|·10^d rounded half away from zero, where a double decides it:
// the product held in a double that represents every integer up to it, and
// far enough from a rounding tie that the rounding error of the product (at
// most half an ulp) cannot change the direction.  False (NaN, infinities
// and huge values among them) leaves the value to the exact path.
[[gnu::always_inline]] inline bool round_quickly(double value, int decimals, std::uint64_t& n) {
    constexpr double kLargest = 4.0e15;           // below 2^52 ≈ 4.5·10^15, where doubles step by less than 1
    constexpr double kProductRounding = 4.0e-16;  // half an ulp of y is at most 2^-53·y ≈ 1.1·10^-16·y; with room
    constexpr double kTieMarginFloor = 1e-300;    // so that the margin is never zero
    const double y = std::fabs(value) * static_cast<double>(kPow10[static_cast<std::size_t>(decimals)]);
    if (!(y < kLargest)) return false;
    // y ≥ 0 and below 2^52: truncation is the floor, and exact (in a signed
    // integer, whose conversions need no test of the top bit).
    const auto truncated = static_cast<std::int64_t>(y);
    const double fraction = y - static_cast<double>(truncated);  // exact
    if (std::fabs(fraction - 0.5) <= y * kProductRounding + kTieMarginFloor) return false;
    n = static_cast<std::uint64_t>(truncated) + (fraction > 0.5 ? 1u : 0u);
    return true;
}

// The common case of an Fw.d field, decided without the long expansion
// (round_quickly), the field filled from the right.  False leaves the value
// to put_f_exactly.
[[gnu::always_inline]] inline bool put_f_quickly(char* dst, double value, int width, int decimals) {
    if (decimals < 0 || decimals > 15) return false;
    const bool negative = std::signbit(value);
    std::uint64_t n;
    if (!round_quickly(value, decimals, n)) return false;
    const std::uint64_t scale = kPow10[static_cast<std::size_t>(decimals)];
    const std::uint64_t int_part = n / scale;
    const int int_digits = count_digits(int_part);
    const int needed = (negative ? 1 : 0) + int_digits + 1 + decimals;
    if (needed > width) {
        put_stars(dst, width);
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

__extension__ using Uint128 = unsigned __int128;

// The eight decimal digits of v < 10^8, leading zeros included, as the
// bytes of a little-endian word in the order of the text (the first digit
// in the lowest byte).  The word is split into two lanes below 10^4, each
// into two below 100, each into two digits, every lane at once: the
// quotients come from multiplications by 10486/2^20 (exact below 10^4) and
// 103/2^10 (exact below 100), whose products stay within their lanes.
constexpr std::uint64_t eight_digits(std::uint32_t v) {
    std::uint64_t x = (v / 10000) | (std::uint64_t{v % 10000} << 32);
    std::uint64_t q = ((x * 10486) >> 20) & 0x0000007F0000007F;
    x = q | ((x - q * 100) << 16);
    q = ((x * 103) >> 10) & 0x000F000F000F000F;
    x = q | ((x - q * 10) << 8);
    return x | 0x3030303030303030;
}

// An F(W).(D) field with two to seven integer columns, by word operations
// instead of a digit at a time: the digits of |value|·10^D rounded
// (round_quickly) around the point, the leading zeros of the integer part
// but its last one blanked, the sign in the column before the first digit.
// That is the text of put_f_quickly whenever the digits number eight or
// fewer and the field has a column for the sign.  False otherwise (and for
// whatever round_quickly leaves), for put_f.
template <int W, int D>
[[gnu::always_inline]] inline bool put_f_fixed_quickly(char* dst, double value) {
    constexpr int kInt = W - D - 1;  // integer columns
    static_assert(D >= 0 && kInt >= 2 && kInt <= 7 && W <= 16);
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        std::uint64_t n;
        if (!round_quickly(value, D, n) || n >= kPow10[static_cast<std::size_t>(W - 1 < 8 ? W - 1 : 8)]) return false;
        // The W - 1 digits of n, leading zeros included.
        Uint128 digits = eight_digits(static_cast<std::uint32_t>(n));
        if constexpr (W - 1 > 8) digits = (digits << (8 * (W - 9))) | (0x3030303030303030 >> (8 * (17 - W)));
        else digits >>= 8 * (9 - W);
        constexpr Uint128 kIntMask = (Uint128{1} << (8 * kInt)) - 1;
        Uint128 field = (digits & kIntMask) | (Uint128{'.'} << (8 * kInt)) | ((digits & ~kIntMask) << 8);
        // The integer part and the point are within the first eight columns.
        auto head = static_cast<std::uint64_t>(field);
        const int zeros = std::countr_zero(head ^ 0x3030303030303030) / 8;
        const int blanks = zeros < kInt - 1 ? zeros : kInt - 1;
        const std::uint64_t blank_mask = (std::uint64_t{1} << (8 * blanks)) - 1;
        head = (head & ~blank_mask) | (0x2020202020202020 & blank_mask);
        if (std::signbit(value)) {
            if (blanks == 0) return false;  // no column for the sign: asterisks
            const int at = 8 * (blanks - 1);
            head = (head & ~(std::uint64_t{0xFF} << at)) | (std::uint64_t{'-'} << at);
        }
        field = ((field >> 64) << 64) | head;
        std::memcpy(dst, &field, W);
        return true;
    }
}

// The rule of put_f for every value, through a 40-digit expansion; what
// the quick path is checked against.
void put_f_exactly(char* dst, double value, int width, int decimals);

}  // namespace detail

// Puts the integer right-justified into w columns at dst, or w asterisks
// when the sign and digits do not fit.
[[gnu::always_inline]] inline void put_i(char* dst, std::int64_t value, int width) {
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const int digits = magnitude == 0 ? 1 : detail::count_digits(magnitude);
    if (digits + (negative ? 1 : 0) > width) {
        detail::put_stars(dst, width);
        return;
    }
    char* p = detail::put_digits_backwards(dst + width, magnitude, digits);
    if (negative) *--p = '-';
    detail::put_blanks(dst, static_cast<std::size_t>(p - dst));
}

// Puts the value rounded to d decimals into w columns at dst.  The
// rounding is that of the exact stored value: it is expanded to 40
// significant decimal digits and rounded half away from zero at the last
// digit printed, so an exact tie such as 0.125 in F4.2 goes up to 0.13
// (printf would give 0.12).  The sign is written before the first digit or
// the point, a 0 before the point only when there is a column to spare,
// w asterisks when the value does not fit; NaN, Inf and Infinity (the
// longest that fits) are right-justified.
[[gnu::always_inline]] inline void put_f(char* dst, double value, int width, int decimals) {
    if (!detail::put_f_quickly(dst, value, width, decimals)) detail::put_f_exactly(dst, value, width, decimals);
}

// put_f for a width and decimals known when compiled, as a record with
// fixed columns has them.
template <int W, int D>
[[gnu::always_inline]] inline void put_f_fixed(char* dst, double value) {
    if (!detail::put_f_fixed_quickly<W, D>(dst, value)) put_f(dst, value, W, D);
}

namespace detail {
// The text of every I4 field that is not asterisks, -999 to 9999, each in
// the bytes of a word in text order.
inline constexpr std::int32_t kI4Smallest = -999, kI4Largest = 9999;
extern const std::array<std::uint32_t, kI4Largest - kI4Smallest + 1> kI4Fields;
}  // namespace detail

// put_i with width 4, the width of the indices of a reflection record.
[[gnu::always_inline]] inline void put_i4(char* dst, std::int32_t value) {
    const auto at = static_cast<std::uint32_t>(value) - static_cast<std::uint32_t>(detail::kI4Smallest);
    if (at < detail::kI4Fields.size()) std::memcpy(dst, &detail::kI4Fields[at], 4);
    else put_i(dst, value, 4);
}

// The F field as a string of w characters.
std::string format_f(double value, int width, int decimals);

// A number rounded as an F field with d decimals, without the blanks in
// front (and without the point when d is 0), however large: the one way
// numbers with decimals are written in messages and in the summaries (JSON
// aside), so that they show the digits of the report.  Ties are rounded
// away from zero, as the F field does; a negative value that rounds to
// zero keeps its sign ("-0.000").
std::string format_decimals(double value, int decimals);

}  // namespace velor::textio
