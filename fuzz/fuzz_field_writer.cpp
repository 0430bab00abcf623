// Fw.d and Iw writing of values made from the bytes.
//
// Fw.d: the quick path gives what the exact path gives (the literal cases
// of the unit tests hold the exact path to its rounding rule); a finite
// value that fits is written as a number within half a unit of the last
// decimal, which read_f reads as from_chars reads its text; NaN and the
// infinities as words, or asterisks.
#include <algorithm>
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
    if (all_stars(out)) return;
    // Blanks, a minus sign for a negative value, digits, the point and d
    // decimals, with a 0 before the point only for want of room.
    const std::string_view text = trim_left(out);
    FUZZ_CHECK(text.starts_with('-') == std::signbit(value) && out.find('.') == out.size() - 1 - std::size_t(d));
    FUZZ_CHECK(text.find_first_not_of("0123456789.", std::signbit(value) ? 1 : 0) == std::string_view::npos);
    if (text.starts_with(std::signbit(value) ? "-." : ".")) FUZZ_CHECK(out.front() != ' ');
    // Within half a unit of the last decimal (and the rounding of the
    // expansion to 40 digits); read_f reads it as from_chars does.
    std::string number(text);
    if (number.find_first_of("0123456789") == std::string::npos) number.insert(number.find('.'), "0");
    double near = 0.0;
    float single = 0.0f;
    const char* end = number.data() + number.size();
    FUZZ_CHECK(std::from_chars(number.data(), end, near).ec == std::errc{});
    FUZZ_CHECK(std::fabs(near - value) <= 0.5000001 * std::pow(10.0, -d) + 1e-15 * std::fabs(value));
    const auto read = read_f(out, d);
    FUZZ_CHECK(read.has_value());
    if (std::from_chars(number.data(), end, single).ec == std::errc{}) FUZZ_CHECK(*read == single);
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
