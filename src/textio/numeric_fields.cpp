// The exact paths of numeric_fields.hpp, and the readers and writers that
// try the quick path first.
#include "textio/numeric_fields.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "textio/characters.hpp"

namespace velor::textio {
namespace {

// ------------------------------------------------------------------ reading

// The field with its blanks removed; fields are short, but a layout may make
// them long, so this falls back to the heap past 64 characters.
class Squeezed {
public:
    explicit Squeezed(std::string_view field) {
        for (char c : field)
            if (c != ' ') push(c);
    }
    std::string_view view() const {
        return heap_.empty() ? std::string_view(small_.data(), size_) : std::string_view(heap_);
    }

private:
    void push(char c) {
        if (heap_.empty() && size_ < small_.size()) {
            small_[size_++] = c;
            return;
        }
        if (heap_.empty()) heap_.assign(small_.data(), size_);
        heap_.push_back(c);
    }
    std::array<char, 64> small_{};
    std::size_t size_ = 0;
    std::string heap_;
};

// Converts sign, digits and a decimal exponent to the nearest float.  The
// digit string may be long; from_chars rounds correctly from all of it.
std::optional<float> to_float(bool negative, std::string_view int_digits, std::string_view frac_digits,
                              long exponent) {
    std::string text;
    text.reserve(int_digits.size() + frac_digits.size() + 16);
    text.append(int_digits.empty() ? std::string_view("0") : int_digits);
    if (!frac_digits.empty()) {
        text.push_back('.');
        text.append(frac_digits);
    }
    text.push_back('e');
    std::array<char, 24> exp_buf{};
    const auto er = std::to_chars(exp_buf.data(), exp_buf.data() + exp_buf.size(), exponent);
    text.append(exp_buf.data(), er.ptr);
    float value = 0.0f;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Past the float range at one end or the other: decide which by the
        // magnitude in double precision (digits are never all zero here).
        double wide = 0.0;
        const auto wres = std::from_chars(text.data(), text.data() + text.size(), wide);
        const bool overflow = wres.ec == std::errc{} ? std::fabs(wide) > 1.0 : exponent > 0;
        value = overflow ? std::numeric_limits<float>::infinity() : 0.0f;
    } else if (res.ec != std::errc{}) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

// A run of digits from `i`; `i` ends after it.
std::string_view take_digits(std::string_view s, std::size_t& i) {
    const std::size_t begin = i;
    while (i < s.size() && is_digit(s[i])) ++i;
    return s.substr(begin, i - begin);
}

// The exponent from `i` to the end of s: E, e, D or d, or a sign alone,
// then an optional sign and digits.  No value if it is malformed.  Its
// size is capped far past any float, where the result is decided anyway.
std::optional<long> take_exponent(std::string_view s, std::size_t i) {
    const char c = to_lower(s[i]);
    if (c == 'e' || c == 'd') ++i;
    else if (c != '+' && c != '-') return std::nullopt;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size()) return std::nullopt;
    long exponent = 0;
    for (; i < s.size(); ++i) {
        if (!is_digit(s[i])) return std::nullopt;
        if (exponent < 1000000) exponent = exponent * 10 + (s[i] - '0');
    }
    return negative ? -exponent : exponent;
}

// Parses squeezed text: [sign] (digits [. digits] [exponent] | Inf | NaN).
std::optional<float> parse_real(std::string_view s, int implied_decimals) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::string_view rest = s.substr(i);
    if (rest.empty()) return negative ? -0.0f : 0.0f;
    if (equals_ignoring_case(rest, "inf") || equals_ignoring_case(rest, "infinity")) return negative ? -kInf : kInf;
    if (equals_ignoring_case(rest, "nan")) return std::numeric_limits<float>::quiet_NaN();

    const std::string_view int_digits = take_digits(s, i);
    const bool point = i < s.size() && s[i] == '.';
    if (point) ++i;
    const std::string_view frac_digits = point ? take_digits(s, i) : std::string_view();
    if (int_digits.empty() && !point) return std::nullopt;

    long exponent = 0;
    if (i < s.size()) {
        const auto e = take_exponent(s, i);
        if (!e) return std::nullopt;
        exponent = *e;
    }
    // Without a point the last d digits are decimals.
    if (!point && implied_decimals > 0) exponent -= implied_decimals;
    if (int_digits.empty() && frac_digits.empty()) return negative ? -0.0f : 0.0f;  // "." alone
    return to_float(negative, int_digits, frac_digits, exponent);
}

// ------------------------------------------------------------------ writing

// Puts sign, integer digits (none for a value below one) and decimals into
// w columns: the sign before the first digit or the point, a 0 before the
// point only when there is a column to spare, asterisks when it cannot fit.
void put_decimal(char* dst, int width, bool negative, std::string_view int_digits, std::string_view decimals) {
    const int needed = (negative ? 1 : 0) + static_cast<int>(int_digits.size()) + 1 + static_cast<int>(decimals.size());
    if (needed > width) {
        detail::put_stars(dst, width);
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

// The rule itself: the magnitude expanded to 40 significant digits
// (correctly rounded by to_chars), then rounded half away from zero at the
// d-th decimal.  Rounding twice is deliberate: a value within 1e-40
// relative of a tie rounds as the tie.
void put_expanded(char* dst, bool negative, double magnitude, int width, int decimals) {
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
    const std::size_t int_len = digits.size() - d;
    std::size_t lead = 0;
    while (lead < int_len && digits[lead] == '0') ++lead;
    const std::string_view all(digits);
    put_decimal(dst, width, negative, all.substr(lead, int_len - lead), all.substr(int_len));
}

// NaN, or an infinity with its sign, right-justified: Infinity where it
// fits, else Inf, else asterisks.
void put_non_finite(char* dst, double value, int width) {
    const bool negative = !std::isnan(value) && value < 0;
    const int room = width - (negative ? 1 : 0);
    if (room < 3) {
        detail::put_stars(dst, width);
        return;
    }
    const std::string_view word = std::isnan(value) ? "NaN" : room > 7 ? "Infinity" : "Inf";
    char* p = dst + (static_cast<std::size_t>(room) - word.size());
    std::memset(dst, ' ', static_cast<std::size_t>(p - dst));
    if (negative) *p++ = '-';
    std::memcpy(p, word.data(), word.size());
}

}  // namespace

namespace detail {

constinit const std::array<std::uint32_t, kI4Largest - kI4Smallest + 1> kI4Fields = [] {
    std::array<std::uint32_t, kI4Largest - kI4Smallest + 1> fields{};
    for (std::int32_t v = kI4Smallest; v <= kI4Largest; ++v) {
        std::array<char, 4> text{' ', ' ', ' ', ' '};
        std::uint32_t m = static_cast<std::uint32_t>(v < 0 ? -v : v);
        std::size_t i = 4;
        do {
            text[--i] = static_cast<char>('0' + m % 10);
            m /= 10;
        } while (m != 0);
        if (v < 0) text[--i] = '-';
        std::uint32_t word = 0;
        for (std::size_t c = 0; c < 4; ++c) {
            const std::size_t shift = std::endian::native == std::endian::little ? 8 * c : 8 * (3 - c);
            word |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[c])) << shift;
        }
        fields[static_cast<std::size_t>(v - kI4Smallest)] = word;
    }
    return fields;
}();

std::optional<std::int32_t> read_i_exactly(std::string_view field) {
    const Squeezed squeezed(field);
    const std::string_view s = squeezed.view();
    if (s.empty()) return 0;
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') negative = s[i++] == '-';
    if (i == s.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < s.size(); ++i) {
        if (!is_digit(s[i])) return std::nullopt;
        value = value * 10 + (s[i] - '0');
        if (value > std::int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<float> read_f_exactly(std::string_view field, int decimals) {
    const Squeezed squeezed(field);
    return parse_real(squeezed.view(), decimals);
}

void put_f_exactly(char* dst, double value, int width, int decimals) {
    if (!std::isfinite(value)) {
        put_non_finite(dst, value, width);
        return;
    }
    const double magnitude = std::fabs(value);
    // More integer digits than columns: no need to expand.
    const bool too_wide = static_cast<std::size_t>(width) < kPow10.size()
                              ? magnitude >= static_cast<double>(kPow10[static_cast<std::size_t>(width)])
                              : std::log10(magnitude) >= width;
    if (too_wide) put_stars(dst, width);
    else put_expanded(dst, std::signbit(value), magnitude, width, decimals);
}

}  // namespace detail

std::optional<std::int32_t> read_i(std::string_view field) {
    std::int32_t value = 0;
    if (read_i_quickly(field, value)) return value;
    return detail::read_i_exactly(field);
}

std::optional<float> read_f(std::string_view field, int decimals) {
    float value = 0.0f;
    if (read_f_quickly(field, decimals, value)) return value;
    return detail::read_f_exactly(field, decimals);
}

std::optional<float> read_real_token(std::string_view token) {
    if (token.find(' ') != std::string_view::npos) return std::nullopt;
    return parse_real(token, 0);
}

std::string format_f(double value, int width, int decimals) {
    std::string text(static_cast<std::size_t>(width), ' ');
    put_f(text.data(), value, width, decimals);
    return text;
}

std::string format_decimals(double value, int decimals) {
    // The quick path's digits fill at most 16 integer columns, the point
    // and 15 decimals, and a sign.
    std::array<char, 40> small;
    const std::string_view quick(small.data(), small.size());
    std::string text;
    if (detail::put_f_quickly(small.data(), value, static_cast<int>(small.size()), decimals)) {
        text = quick.substr(quick.find_first_not_of(' '));
    } else {
        // Room for any double: a sign, the 309 digits of the largest, the
        // point and the decimals.
        text.assign(311 + static_cast<std::size_t>(std::max(decimals, 0)), ' ');
        detail::put_f_exactly(text.data(), value, static_cast<int>(text.size()), decimals);
        text.erase(0, text.find_first_not_of(' '));
    }
    if (text.ends_with('.')) text.pop_back();  // no decimals
    return text;
}

}  // namespace velor::textio
