#include "textio/field_reader.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace velor::textio {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ignoring_case(std::string_view s, std::string_view word) {
    if (s.size() != word.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (lower(s[i]) != word[i]) return false;
    return true;
}

// The field with its blanks removed; fields are short, but a fuzzed layout
// may make them long, so this falls back to the heap past 64 characters.
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

// Parses squeezed text: [sign] (digits [. digits] [exponent] | Inf | NaN).
std::optional<float> parse_real(std::string_view s, int implied_decimals) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::string_view rest = s.substr(i);
    if (rest.empty()) return negative ? -0.0f : 0.0f;
    if (equals_ignoring_case(rest, "inf") || equals_ignoring_case(rest, "infinity"))
        return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    if (equals_ignoring_case(rest, "nan")) return std::numeric_limits<float>::quiet_NaN();

    const std::size_t int_begin = i;
    while (i < s.size() && is_digit(s[i])) ++i;
    std::string_view int_digits = s.substr(int_begin, i - int_begin);
    std::string_view frac_digits;
    bool point = false;
    if (i < s.size() && s[i] == '.') {
        point = true;
        const std::size_t frac_begin = ++i;
        while (i < s.size() && is_digit(s[i])) ++i;
        frac_digits = s.substr(frac_begin, i - frac_begin);
    }
    if (int_digits.empty() && frac_digits.empty() && !point) return std::nullopt;

    long exponent = 0;
    if (i < s.size()) {
        const char c = lower(s[i]);
        if (c == 'e' || c == 'd') ++i;
        else if (c != '+' && c != '-') return std::nullopt;
        bool exp_negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
        if (i >= s.size()) return std::nullopt;
        for (; i < s.size(); ++i) {
            if (!is_digit(s[i])) return std::nullopt;
            if (exponent < 1000000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (exp_negative) exponent = -exponent;
    }
    if (!point && implied_decimals > 0) {
        // The last d digits are decimals: shift the decimal exponent.
        exponent -= implied_decimals;
    }
    if (int_digits.empty() && frac_digits.empty()) return negative ? -0.0f : 0.0f;  // "." alone
    return to_float(negative, int_digits, frac_digits, exponent);
}

}  // namespace

namespace {

// Skips blanks from `i`, eight at a time where it can.
std::size_t skip_blanks(std::string_view field, std::size_t i) {
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
    while (i + 8 <= field.size()) {
        std::uint64_t word;
        std::memcpy(&word, field.data() + i, 8);
        if (word != kEightBlanks) break;
        i += 8;
    }
    while (i < field.size() && field[i] == ' ') ++i;
    return i;
}

// Accumulates a run of digits into `value`; returns the end of the run.
std::size_t take_digits(std::string_view field, std::size_t i, std::uint64_t& value) {
    for (; i < field.size(); ++i) {
        const unsigned d = static_cast<unsigned char>(field[i]) - static_cast<unsigned>('0');
        if (d > 9) break;
        value = value * 10 + d;
    }
    return i;
}

}  // namespace

// The common form of a field, right-justified digits with an optional
// sign and point and nothing else, converted without copying: when the
// digits make an integer M below 2^24 and there are k ≤ 10 decimals, both M
// and 10^k are exact floats and one division rounds M/10^k correctly.
// Returns false for anything else, which takes the general path.
bool read_f_quickly(std::string_view field, int implied_decimals, float& value) {
    static constexpr float kPow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const std::size_t n = field.size();
    std::size_t i = skip_blanks(field, 0);
    bool negative = false;
    if (i < n && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    std::uint64_t mantissa = 0;
    const std::size_t int_begin = i;
    i = take_digits(field, i, mantissa);
    std::size_t digits = i - int_begin;
    int decimals = implied_decimals;
    if (i < n && field[i] == '.') {
        const std::size_t frac_begin = ++i;
        i = take_digits(field, i, mantissa);
        decimals = static_cast<int>(i - frac_begin);
        digits += i - frac_begin;
    }
    if (digits == 0 || digits > 8 || decimals > 10 || mantissa >= (1u << 24)) return false;
    if (skip_blanks(field, i) != n) return false;
    const float v = static_cast<float>(mantissa) / kPow10[decimals];
    value = negative ? -v : v;
    return true;
}

bool read_i_quickly(std::string_view field, std::int32_t& value) {
    const std::size_t n = field.size();
    std::size_t i = skip_blanks(field, 0);
    bool negative = false, sign = false;
    if (i < n && (field[i] == '-' || field[i] == '+')) {
        sign = true;
        negative = field[i++] == '-';
    }
    std::uint64_t v = 0;
    const std::size_t begin = i;
    i = take_digits(field, i, v);
    const std::size_t digits = i - begin;
    if (digits > 9 || (digits == 0 && sign)) return false;  // a lone sign is malformed
    if (skip_blanks(field, i) != n) return false;
    value = negative ? -static_cast<std::int32_t>(v) : static_cast<std::int32_t>(v);
    return true;
}

std::optional<std::int32_t> read_i(std::string_view field) {
    std::int32_t quick = 0;
    if (read_i_quickly(field, quick)) return quick;
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

std::optional<float> read_f(std::string_view field, int decimals) {
    float quick = 0.0f;
    if (read_f_quickly(field, decimals, quick)) return quick;
    const Squeezed squeezed(field);
    return parse_real(squeezed.view(), decimals);
}

std::optional<float> read_f_general(std::string_view field, int decimals) {
    const Squeezed squeezed(field);
    return parse_real(squeezed.view(), decimals);
}

std::optional<float> read_real_token(std::string_view token) {
    if (token.find(' ') != std::string_view::npos) return std::nullopt;
    return parse_real(token, 0);
}

}  // namespace velor::textio
