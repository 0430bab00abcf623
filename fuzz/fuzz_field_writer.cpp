// Fw.d and Iw writing of values made from the bytes.
//
// Fw.d: the field is exactly w characters.  A finite value is written as
// its exact value rounded to d decimals, half away from zero: the digits
// are those of the exact value cut after d decimals (lo) or one unit of
// the last decimal more (hi), hi for an exact tie; the text reads back to
// within half a unit of the last decimal; and the field is asterisks
// exactly when the rounded value does not fit; the quick path gives what
// the exact path gives; and read_f reads the field as from_chars reads its
// text.  The exact value comes from printf with more decimals than any
// double has.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "textio/numeric_fields.hpp"

using namespace velor::textio;

namespace {

bool all_stars(std::string_view s) { return s.find_first_not_of('*') == std::string_view::npos; }

std::string_view trim_left(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

// Decimal digits plus one unit in the last place.
std::string increment(std::string digits) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) digits.insert(digits.begin(), '1');
    else ++digits[i - 1];
    return digits;
}

// Integer digits without leading zeros ("" for zero), then d decimals.
struct Decimal {
    std::string integer, decimals;
};

Decimal split_at(const std::string& digits, int d) {
    const std::size_t cut = digits.size() - static_cast<std::size_t>(d);
    std::string integer = digits.substr(0, cut);
    integer.erase(0, integer.find_first_not_of('0') == std::string::npos ? integer.size()
                                                                          : integer.find_first_not_of('0'));
    return {integer, digits.substr(cut)};
}

void check_non_finite(const std::string& out, double value, int w) {
    const std::string_view text = trim_left(out);
    if (std::isnan(value)) {
        FUZZ_CHECK(w < 3 ? all_stars(out) : text == "NaN");
        return;
    }
    const bool negative = value < 0;
    const int room = w - (negative ? 1 : 0);
    if (room < 3) {
        FUZZ_CHECK(all_stars(out));
        return;
    }
    const std::string word = std::string(negative ? "-" : "") + (room > 7 ? "Infinity" : "Inf");
    FUZZ_CHECK(text == word);
}

void check_f(double value, int w, int d) {
    const std::string out = format_f(value, w, d);
    std::string exact_path(static_cast<std::size_t>(w), '?');
    detail::put_f_exactly(exact_path.data(), value, w, d);
    FUZZ_CHECK(out == exact_path);
    if (!std::isfinite(value)) {
        check_non_finite(out, value, w);
        return;
    }

    // The exact value: every double has at most 1074 decimals.
    static char exact[1500];
    const int n = std::snprintf(exact, sizeof exact, "%.1100f", std::fabs(value));
    FUZZ_CHECK(n > 0 && static_cast<std::size_t>(n) < sizeof exact);
    const std::string_view digits_and_point(exact, static_cast<std::size_t>(n));
    const std::size_t point = digits_and_point.find('.');
    std::string cut(digits_and_point.substr(0, point));
    cut += digits_and_point.substr(point + 1, static_cast<std::size_t>(d));
    const std::string_view tail = digits_and_point.substr(point + 1 + static_cast<std::size_t>(d));
    const Decimal lo = split_at(cut, d), hi = split_at(increment(cut), d);

    // What the rounding may give: hi from half a unit up (a tie included),
    // lo below it.  The expansion to 40 significant digits comes first, so
    // a value a hair below a tie may round as the tie.
    const bool half_or_more = tail.front() >= '5';
    const bool near_tie = tail.substr(0, 12) == "499999999999";
    const bool may_be_lo = !half_or_more, may_be_hi = half_or_more || near_tie;

    const bool negative = std::signbit(value);
    const auto fits = [&](const Decimal& x) {
        return (negative ? 1u : 0u) + x.integer.size() + 1 + static_cast<std::size_t>(d) <= static_cast<std::size_t>(w);
    };
    if (all_stars(out)) {  // only when the rounded value does not fit
        FUZZ_CHECK((may_be_lo && !fits(lo)) || (may_be_hi && !fits(hi)));
        return;
    }

    // Shape: blanks, a minus sign for a negative value, integer digits
    // (or a 0 when there is room for it), the point, d decimals.
    std::string_view text = trim_left(out);
    FUZZ_CHECK(!text.empty());
    if (negative) {
        FUZZ_CHECK(text.front() == '-');
        text.remove_prefix(1);
    }
    const std::size_t dot = text.find('.');
    FUZZ_CHECK(dot != std::string_view::npos);
    Decimal written{std::string(text.substr(0, dot)), std::string(text.substr(dot + 1))};
    FUZZ_CHECK(written.decimals.size() == static_cast<std::size_t>(d));
    FUZZ_CHECK(written.integer.find_first_not_of("0123456789") == std::string::npos);
    FUZZ_CHECK(written.decimals.find_first_not_of("0123456789") == std::string::npos);
    if (written.integer == "0") written.integer.clear();
    else if (written.integer.empty()) FUZZ_CHECK(out.front() != ' ');  // 0 left out only for want of room
    FUZZ_CHECK(written.integer.empty() || written.integer.front() != '0');

    const auto same = [&](const Decimal& x) { return written.integer == x.integer && written.decimals == x.decimals; };
    FUZZ_CHECK((may_be_lo && same(lo)) || (may_be_hi && same(hi)));

    // from_chars wants a digit: "." (0 in F1.0) becomes "0.".
    std::string number(trim_left(out));
    if (number.find_first_of("0123456789") == std::string::npos) number.insert(number.find('.'), "0");
    float single = 0.0f;
    const auto res_single = std::from_chars(number.data(), number.data() + number.size(), single);
    const auto read = read_f(out, d);
    FUZZ_CHECK(read.has_value());
    if (res_single.ec == std::errc{}) FUZZ_CHECK(*read == single);
}

void check_i(std::int64_t value, int w) {
    std::string out(static_cast<std::size_t>(w), '?');
    put_i(out.data(), value, w);
    const std::string digits = std::to_string(value);
    if (digits.size() > static_cast<std::size_t>(w)) {
        FUZZ_CHECK(all_stars(out));
        return;
    }
    FUZZ_CHECK(trim_left(out) == digits);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        const auto read = read_i(out);
        FUZZ_CHECK(read.has_value() && *read == value);
    } else {
        FUZZ_CHECK(!read_i(out).has_value());
    }
}

// A value of the kind the first choice names: any double or float bit
// pattern, or a decimal or binary fraction (ties to d decimals among them).
double make_value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        case 1: {
            const std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return static_cast<double>(v);
        }
        case 2: {
            const auto mantissa = in.ConsumeIntegral<std::int64_t>();
            return static_cast<double>(mantissa) / std::pow(10.0, in.ConsumeIntegralInRange(0, 18));
        }
        default: {
            const auto mantissa = in.ConsumeIntegralInRange<std::int64_t>(-(std::int64_t{1} << 53), std::int64_t{1} << 53);
            return std::ldexp(static_cast<double>(mantissa), -in.ConsumeIntegralInRange(0, 60));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int w = in.ConsumeIntegralInRange(1, 40);
    const int d = in.ConsumeIntegralInRange(0, 12);
    const double value = make_value(in);
    check_f(value, w, d);
    check_f(-value, w, d);
    check_i(in.ConsumeIntegral<std::int64_t>(), w);
    return 0;
}
