#include "textio/field_writer.hpp"

#include "textio/fixed_fields.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace velor::textio {
namespace {

using detail::fill_stars;
using detail::kPow10;
using detail::put_blanks;
using detail::put_f_quickly;

// Every field is written in place: `out` grows by the field width first
// and the field is filled from the left.
char* grow(std::string& out, int width) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(width));
    return out.data() + start;
}

void put_right(char* dst, std::string_view text, int width) {
    const std::size_t pad = static_cast<std::size_t>(width) - text.size();
    std::memset(dst, ' ', pad);
    if (!text.empty()) std::memcpy(dst + pad, text.data(), text.size());  // an empty view may hold no pointer
}

// Puts sign, integer digits (none for a value below one) and decimals into
// w columns: the sign before the first digit or the point, a 0 before the
// point only when there is a column to spare, asterisks when it cannot fit.
void put_fixed(char* dst, int width, bool negative, std::string_view int_digits, std::string_view decimals) {
    const int needed = (negative ? 1 : 0) + static_cast<int>(int_digits.size()) + 1 + static_cast<int>(decimals.size());
    if (needed > width) {
        fill_stars(dst, width);
        return;
    }
    const bool leading_zero = int_digits.empty() && needed < width;
    const int pad = width - needed - (leading_zero ? 1 : 0);
    std::memset(dst, ' ', static_cast<std::size_t>(pad));
    char* p = dst + pad;
    if (negative) *p++ = '-';
    if (leading_zero) *p++ = '0';
    std::memcpy(p, int_digits.data(), int_digits.size());
    p += int_digits.size();
    *p++ = '.';
    std::memcpy(p, decimals.data(), decimals.size());
}

// The rule itself: |value| expanded to 40 significant digits (correctly
// rounded by to_chars), then rounded half away from zero at the d-th
// decimal.  Rounding twice is deliberate: a value within 1e-40 relative of
// a tie rounds as the tie.
void put_f_exactly(char* dst, bool negative, double magnitude, int width, int decimals) {
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, std::chars_format::scientific, 39);
    // buf: d.ddd...(39 digits)e±XX
    std::array<char, 40> sig{};
    sig[0] = buf[0];
    std::memcpy(sig.data() + 1, buf.data() + 2, 39);
    int exponent = 0;
    std::from_chars(buf.data() + 42 + (buf[42] == '+' ? 1 : 0), res.ptr, exponent);
    if (magnitude == 0.0) exponent = 0;

    // Significant digit sig[i] has weight 10^(exponent - i): keep the
    // digits down to weight 10^-d, then round at the next one.
    const int kept = exponent + 1 + decimals;
    std::string digits;
    if (kept > 0) {
        digits.reserve(static_cast<std::size_t>(kept) + 1);
        for (int i = 0; i < kept; ++i) digits.push_back(i < 40 ? sig[static_cast<std::size_t>(i)] : '0');
        if (kept < 40 && sig[static_cast<std::size_t>(kept)] >= '5') {
            int i = kept - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
            if (i >= 0) ++digits[static_cast<std::size_t>(i)];
            else digits.insert(digits.begin(), '1');
        }
    } else if (kept == 0 && sig[0] >= '5') {
        digits = "1";  // rounds up to one unit of the last decimal
    }
    const auto d = static_cast<std::size_t>(decimals);
    if (digits.size() < d) digits.insert(0, d - digits.size(), '0');
    std::size_t int_len = digits.size() - d;
    std::size_t lead = 0;
    while (lead < int_len && digits[lead] == '0') ++lead;
    const std::string_view all(digits);
    put_fixed(dst, width, negative, all.substr(lead, int_len - lead), all.substr(int_len));
}

void put_non_finite(char* dst, double value, int width) {
    if (std::isnan(value)) {
        if (width < 3) fill_stars(dst, width);
        else put_right(dst, "NaN", width);
        return;
    }
    const bool negative = value < 0;
    const int room = width - (negative ? 1 : 0);
    if (room < 3) {
        fill_stars(dst, width);
        return;
    }
    const std::string_view word = room > 7 ? "Infinity" : "Inf";
    std::memset(dst, ' ', static_cast<std::size_t>(room) - word.size());
    char* p = dst + (static_cast<std::size_t>(room) - word.size());
    if (negative) *p++ = '-';
    std::memcpy(p, word.data(), word.size());
}

void put_f_impl(char* dst, double value, int width, int decimals, bool allow_quick) {
    if (!std::isfinite(value)) {
        put_non_finite(dst, value, width);
        return;
    }
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    // Integer digits alone wider than the field: no need to expand.
    if (width < 23 ? magnitude >= kPow10[width] : std::log10(magnitude) >= width) {
        fill_stars(dst, width);
        return;
    }
    if (!allow_quick || !put_f_quickly(dst, negative, magnitude, width, decimals))
        put_f_exactly(dst, negative, magnitude, width, decimals);
}

}  // namespace

void put_i(char* dst, std::int64_t value, int width) { detail::put_i_inline(dst, value, width); }

void put_f(char* dst, double value, int width, int decimals) { put_f_impl(dst, value, width, decimals, true); }

void put_a(char* dst, std::string_view text, int width) {
    if (text.size() <= static_cast<std::size_t>(width)) put_right(dst, text, width);
    else std::memcpy(dst, text.data(), static_cast<std::size_t>(width));
}

void write_i(std::string& out, std::int64_t value, int width) { put_i(grow(out, width), value, width); }

void write_f(std::string& out, double value, int width, int decimals) {
    put_f(grow(out, width), value, width, decimals);
}

std::string format_f_exact(double value, int width, int decimals) {
    std::string s;
    put_f_impl(grow(s, width), value, width, decimals, false);
    return s;
}

void write_a(std::string& out, std::string_view text, int width) {
    if (width == 0) out.append(text);
    else put_a(grow(out, width), text, width);
}

std::string format_i(std::int64_t value, int width) {
    std::string s;
    write_i(s, value, width);
    return s;
}

std::string format_f(double value, int width, int decimals) {
    std::string s;
    write_f(s, value, width, decimals);
    return s;
}

}  // namespace velor::textio
