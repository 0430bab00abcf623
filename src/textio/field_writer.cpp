#include "textio/field_writer.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace velor::textio {
namespace {

void append_stars(std::string& out, int width) { out.append(static_cast<std::size_t>(width), '*'); }

void append_right(std::string& out, std::string_view text, int width) {
    out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out.append(text);
}

// The value rounded to d decimals, as decimal digits: `digits` holds the
// integer part followed by the d decimals, with no leading zeros in the
// integer part (so a value below one has exactly d digits).
struct RoundedDecimal {
    std::string digits;
    int integer_digits = 0;
};

// The common case, decided without the long expansion: |value|·10^d held
// in a double that represents every integer up to it, and far enough from
// a rounding tie that the rounding error of the product (at most half an
// ulp) cannot change the direction.  Returns false when it cannot decide.
bool round_quickly(double magnitude, int decimals, RoundedDecimal& r) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (decimals > 15) return false;
    const double y = magnitude * kPow10[decimals];
    if (!(y < 4.0e15)) return false;
    const double whole = std::floor(y);
    const double fraction = y - whole;  // exact
    const double margin = y * 4.0e-16 + 1e-300;
    if (std::fabs(fraction - 0.5) <= margin) return false;
    auto n = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1u : 0u);
    std::array<char, 24> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), n);
    const auto len = static_cast<std::size_t>(res.ptr - buf.data());
    const auto d = static_cast<std::size_t>(decimals);
    if (n == 0) {
        r.digits.assign(d, '0');
        r.integer_digits = 0;
    } else if (len <= d) {
        r.digits.assign(d - len, '0');
        r.digits.append(buf.data(), len);
        r.integer_digits = 0;
    } else {
        r.digits.assign(buf.data(), len);
        r.integer_digits = static_cast<int>(len - d);
    }
    return true;
}

// Expands |value| to 40 significant digits (correctly rounded by to_chars)
// and then rounds half away from zero at the d-th decimal.  Rounding twice
// is deliberate: a value within 1e-40 relative of a tie rounds as the tie.
RoundedDecimal round_to_decimals(double magnitude, int decimals) {
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                                   std::chars_format::scientific, 39);
    // buf: d.ddd...(39)e±XX
    std::array<char, 40> sig{};
    sig[0] = buf[0];
    for (int i = 0; i < 39; ++i) sig[static_cast<std::size_t>(i + 1)] = buf[static_cast<std::size_t>(i + 2)];
    int exponent = 0;
    std::from_chars(buf.data() + 42 + (buf[42] == '+' ? 1 : 0), res.ptr, exponent);
    if (magnitude == 0.0) exponent = 0;

    // Significant digit sig[i] has weight 10^(exponent - i).  Keep the
    // digits down to weight 10^-decimals.
    const int kept = exponent + 1 + decimals;
    RoundedDecimal r;
    if (kept < 0) {
        r.digits.assign(static_cast<std::size_t>(decimals), '0');
        return r;
    }
    std::string digits;
    digits.reserve(static_cast<std::size_t>(kept) + 2);
    for (int i = 0; i < kept; ++i) digits.push_back(i < 40 ? sig[static_cast<std::size_t>(i)] : '0');
    if (kept < 40 && sig[static_cast<std::size_t>(kept)] >= '5') {
        int i = kept - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') digits[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0) ++digits[static_cast<std::size_t>(i)];
        else digits.insert(digits.begin(), '1');
    }
    // Pad to at least d digits and strip leading zeros of the integer part.
    if (digits.size() < static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) - digits.size(), '0');
    std::size_t int_len = digits.size() - static_cast<std::size_t>(decimals);
    std::size_t lead = 0;
    while (lead < int_len && digits[lead] == '0') ++lead;
    digits.erase(0, lead);
    r.integer_digits = static_cast<int>(int_len - lead);
    r.digits = std::move(digits);
    return r;
}

void write_non_finite(std::string& out, double value, int width) {
    if (std::isnan(value)) {
        if (width < 3) append_stars(out, width);
        else append_right(out, "NaN", width);
        return;
    }
    const bool negative = value < 0;
    const int room = width - (negative ? 1 : 0);
    if (room < 3) {
        append_stars(out, width);
        return;
    }
    const std::string_view word = room > 7 ? "Infinity" : "Inf";
    out.append(static_cast<std::size_t>(room) - word.size(), ' ');
    if (negative) out.push_back('-');
    out.append(word);
}

}  // namespace

void write_i(std::string& out, std::int64_t value, int width) {
    std::array<char, 24> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    const auto len = static_cast<int>(res.ptr - buf.data());
    if (len > width) {
        append_stars(out, width);
        return;
    }
    append_right(out, std::string_view(buf.data(), static_cast<std::size_t>(len)), width);
}

namespace {

void write_f_impl(std::string& out, double value, int width, int decimals, bool allow_quick) {
    if (!std::isfinite(value)) {
        write_non_finite(out, value, width);
        return;
    }
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    // Integer digits alone wider than the field: no need to expand.
    if (magnitude >= 1.0 && std::log10(magnitude) >= width) {
        append_stars(out, width);
        return;
    }
    RoundedDecimal r;
    if (!allow_quick || !round_quickly(magnitude, decimals, r)) r = round_to_decimals(magnitude, decimals);
    const int needed = (negative ? 1 : 0) + r.integer_digits + 1 + decimals;
    if (needed > width) {
        append_stars(out, width);
        return;
    }
    const bool leading_zero = r.integer_digits == 0 && needed < width;
    out.append(static_cast<std::size_t>(width - needed - (leading_zero ? 1 : 0)), ' ');
    if (negative) out.push_back('-');
    if (leading_zero) out.push_back('0');
    out.append(r.digits, 0, static_cast<std::size_t>(r.integer_digits));
    out.push_back('.');
    out.append(r.digits, static_cast<std::size_t>(r.integer_digits), std::string::npos);
}

}  // namespace

void write_f(std::string& out, double value, int width, int decimals) {
    write_f_impl(out, value, width, decimals, true);
}

std::string format_f_exact(double value, int width, int decimals) {
    std::string s;
    write_f_impl(s, value, width, decimals, false);
    return s;
}

void write_a(std::string& out, std::string_view text, int width) {
    if (width == 0) {
        out.append(text);
    } else if (text.size() <= static_cast<std::size_t>(width)) {
        append_right(out, text, width);
    } else {
        out.append(text.substr(0, static_cast<std::size_t>(width)));
    }
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
