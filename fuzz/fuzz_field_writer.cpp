// Fw.d and Iw writing of values made from the bytes.
//
// Fw.d: the field is exactly w characters, and the quick path gives what
// the exact path gives.  A finite value is written as its exact value
// rounded to d decimals, half away from zero: the C library's printf,
// rounding toward zero or upward, gives the two candidates (lo, hi), hi for
// an exact tie; the field is asterisks exactly when the rounded value does
// not fit; and read_f reads the field as from_chars reads its text.
#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "textio/numeric_fields.hpp"

using namespace velor::textio;

namespace {

bool all_stars(std::string_view s) { return s.find_first_not_of('*') == std::string_view::npos; }

std::string_view trim_left(std::string_view s) { return s.substr(std::min(s.find_first_not_of(' '), s.size())); }

// A magnitude to d decimals, the point always written, as printf rounds it
// in `mode`; no 0 before the point.
std::string printed(double magnitude, int d, int mode) {
    static char text[1500];  // a double has at most 309 integer digits
    std::fesetround(mode);
    const int n = std::snprintf(text, sizeof text, "%#.*f", d, magnitude);
    std::fesetround(FE_TONEAREST);
    FUZZ_CHECK(n > 0 && static_cast<std::size_t>(n) < sizeof text);
    return text[0] == '0' && text[1] == '.' ? text + 1 : text;
}

void check_non_finite(const std::string& out, double value, int w) {
    const std::string_view text = trim_left(out);
    if (std::isnan(value)) {
        FUZZ_CHECK(w < 3 ? all_stars(out) : text == "NaN");
        return;
    }
    const int room = w - (value < 0 ? 1 : 0);
    FUZZ_CHECK(room < 3 ? all_stars(out) : text == std::string(value < 0 ? "-" : "") + (room > 7 ? "Infinity" : "Inf"));
}

void check_f(double value, int w, int d) {
    const std::string out = format_f(value, w, d);
    std::string exact_path(static_cast<std::size_t>(w), '?');
    velor::textio::detail::put_f_exactly(exact_path.data(), value, w, d);
    FUZZ_CHECK(out == exact_path);
    if (!std::isfinite(value)) return check_non_finite(out, value, w);

    // The expansion to 40 significant digits comes first, so a value a
    // hair below a tie may round as the tie.
    const double magnitude = std::fabs(value);
    const std::string lo = printed(magnitude, d, FE_TOWARDZERO), hi = printed(magnitude, d, FE_UPWARD);
    const std::string tail = printed(magnitude, d + 12, FE_TOWARDZERO).substr(lo.size());
    const bool may_be_lo = tail[0] < '5', may_be_hi = !may_be_lo || tail == "499999999999";
    const bool negative = std::signbit(value);
    const auto fits = [&](const std::string& x) { return (negative ? 1u : 0u) + x.size() <= static_cast<std::size_t>(w); };
    if (all_stars(out)) {
        FUZZ_CHECK((may_be_lo && !fits(lo)) || (may_be_hi && !fits(hi)));
        return;
    }
    // Blanks, a minus sign for a negative value, the digits and the point,
    // with a 0 before the point of a value below 1 when there is room.
    std::string_view text = trim_left(out);
    if (negative) {
        FUZZ_CHECK(text.starts_with('-'));
        text.remove_prefix(1);
    }
    if (text.starts_with("0.")) text.remove_prefix(1);
    else if (text.starts_with('.')) FUZZ_CHECK(out.front() != ' ');
    FUZZ_CHECK((may_be_lo && text == lo) || (may_be_hi && text == hi));

    // from_chars wants a digit: "." (0 in F1.0) becomes "0.".
    std::string number(trim_left(out));
    if (number.find_first_of("0123456789") == std::string::npos) number.insert(number.find('.'), "0");
    float single = 0.0f;
    const auto parsed = std::from_chars(number.data(), number.data() + number.size(), single);
    const auto read = read_f(out, d);
    FUZZ_CHECK(read.has_value());
    if (parsed.ec == std::errc{}) FUZZ_CHECK(*read == single);
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
    const auto read = read_i(out);
    if (value >= INT32_MIN && value <= INT32_MAX) FUZZ_CHECK(read.has_value() && *read == value);
    else FUZZ_CHECK(!read.has_value());
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
