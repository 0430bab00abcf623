// Reading fields as a program writes them: right-justified, the point d
// columns from the right end and digits after it (for F), a minus sign
// only before the first digit.  These are inline so that a caller with
// fixed columns (the reflection records) gets them with the widths folded
// in.  False leaves the field to the general rules (field_reader.hpp),
// which give the same value for every field these accept.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace velor::textio {

namespace detail {

// The first column of [begin, end) that is not blank, eight at a time.
inline std::size_t first_non_blank(const char* f, std::size_t begin, std::size_t end) {
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
    std::size_t i = begin;
    for (; i + 8 <= end; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, f + i, 8);
        if (const std::uint64_t differs = word ^ kEightBlanks; differs != 0)
            return i + static_cast<std::size_t>(__builtin_ctzll(differs)) / 8;  // the lowest byte is the leftmost
    }
    while (i < end && f[i] == ' ') ++i;
    return i;
}

// Digits in [begin, end) as a number; false if any is not a digit.
inline bool digits_between(const char* f, std::size_t begin, std::size_t end, std::uint32_t& value) {
    std::uint32_t v = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const unsigned d = static_cast<unsigned char>(f[i]) - static_cast<unsigned>('0');
        if (d > 9) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

}  // namespace detail

[[gnu::always_inline]] inline bool read_f_aligned(std::string_view field, int decimals, float& value) {
    static constexpr std::uint32_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};
    const std::size_t w = field.size();
    if (decimals < 1 || decimals > 8 || w < static_cast<std::size_t>(decimals) + 2) return false;
    const char* f = field.data();
    const std::size_t point = w - static_cast<std::size_t>(decimals) - 1;
    if (f[point] != '.') return false;
    std::size_t i = detail::first_non_blank(f, 0, point);
    const bool negative = i < point && f[i] == '-';
    if (negative) ++i;
    // At most eight digits in all, so that the mantissa stays exact.
    if (point - i + static_cast<std::size_t>(decimals) > 8) return false;
    std::uint32_t whole = 0, fraction = 0;
    if (!detail::digits_between(f, i, point, whole) || !detail::digits_between(f, point + 1, w, fraction)) return false;
    const std::uint32_t mantissa = whole * kScale[decimals] + fraction;
    if (mantissa >= (1u << 24)) return false;
    const float v = static_cast<float>(mantissa) / kPow10[decimals];
    value = negative ? -v : v;
    return true;
}

[[gnu::always_inline]] inline bool read_i_aligned(std::string_view field, std::int32_t& value) {
    // Digits from the right, then a minus, then blanks: fields are short.
    const char* f = field.data();
    std::size_t i = field.size();
    std::uint32_t v = 0, scale = 1;
    int digits = 0;
    for (; i > 0; --i) {
        const unsigned d = static_cast<unsigned char>(f[i - 1]) - static_cast<unsigned>('0');
        if (d > 9) break;
        if (++digits > 9) return false;
        v += d * scale;
        scale *= 10;
    }
    if (digits == 0) return false;
    const bool negative = i > 0 && f[i - 1] == '-';
    if (negative) --i;
    for (; i > 0; --i)
        if (f[i - 1] != ' ') return false;
    value = negative ? -static_cast<std::int32_t>(v) : static_cast<std::int32_t>(v);
    return true;
}

}  // namespace velor::textio
