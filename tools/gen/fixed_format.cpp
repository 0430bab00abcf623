#include "gen/fixed_format.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "gen/error.hpp"

namespace velor::gen {

namespace {

constexpr std::uint64_t kPow10[] = {1ULL,         10ULL,        100ULL,     1000ULL,
                                    10000ULL,     100000ULL,    1000000ULL, 10000000ULL,
                                    100000000ULL, 1000000000ULL};
constexpr int kMaxDecimals = 9;
constexpr double kMaxScaled = 1e18;

// Decides the rounding on the decimal expansion of x written with 40 decimals.
// A double that is not itself a tie lies at least about 1e-21 away from one
// for every magnitude that fits our fields, so 40 decimals settle every case.
std::optional<std::uint64_t> scaled_round_exact(double ax, int d) {
    char buf[128];
    const auto res = std::to_chars(buf, buf + sizeof buf, ax, std::chars_format::fixed, 40);
    if (res.ec != std::errc()) return std::nullopt;
    const char* point = std::find(buf, res.ptr, '.');
    std::uint64_t n = 0;
    for (const char* p = buf; p != point; ++p) n = n * 10 + static_cast<std::uint64_t>(*p - '0');
    for (int i = 1; i <= d; ++i) n = n * 10 + static_cast<std::uint64_t>(point[i] - '0');
    if (point[d + 1] >= '5') ++n;  // half away from zero: a dropped 5000... rounds up
    return n;
}

}  // namespace

std::optional<std::uint64_t> scaled_round(double x, int d) {
    if (d < 0 || d > kMaxDecimals || !std::isfinite(x)) return std::nullopt;
    const double ax = std::fabs(x);
    const double y = ax * static_cast<double>(kPow10[d]);
    if (!(y < kMaxScaled)) return std::nullopt;
    if (y < 0x1p52) {
        // Fast path. y carries at most half an ulp of error from the product, so
        // unless its fraction is within a few ulps of one half the nearest-integer
        // decision cannot change.
        const double whole = std::floor(y);
        const double frac = y - whole;  // exact below 2^52
        if (std::fabs(frac - 0.5) > y * 0x1p-50 + 0x1p-60)
            return static_cast<std::uint64_t>(whole) + (frac > 0.5 ? 1U : 0U);
    }
    return scaled_round_exact(ax, d);
}

void put_int(char* field, int w, long long v) {
    char tmp[24];
    int n = 0;
    unsigned long long u =
        v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        tmp[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (v < 0) tmp[n++] = '-';
    if (n > w) {
        std::memset(field, '*', static_cast<std::size_t>(w));
        return;
    }
    std::memset(field, ' ', static_cast<std::size_t>(w - n));
    for (int i = 0; i < n; ++i) field[w - 1 - i] = tmp[i];
}

bool put_fixed(char* field, int w, int d, double x) {
    const std::optional<std::uint64_t> scaled = scaled_round(x, d);
    if (!scaled) {
        std::memset(field, '*', static_cast<std::size_t>(w));
        return false;
    }
    const bool negative = std::signbit(x);
    const std::uint64_t whole = *scaled / kPow10[d];
    std::uint64_t frac = *scaled % kPow10[d];

    char tmp[40];  // built from the right
    int n = 0;
    for (int i = 0; i < d; ++i) {
        tmp[n++] = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    tmp[n++] = '.';
    int whole_digits = 0;
    for (std::uint64_t u = whole; u != 0; u /= 10)
        tmp[n + whole_digits++] = static_cast<char>('0' + u % 10);
    n += whole_digits;
    const int needed = n + (negative ? 1 : 0);
    if (needed > w) {
        std::memset(field, '*', static_cast<std::size_t>(w));
        return false;
    }
    if (whole == 0 && needed < w) tmp[n++] = '0';  // optional leading zero
    if (negative) tmp[n++] = '-';
    std::memset(field, ' ', static_cast<std::size_t>(w - n));
    for (int i = 0; i < n; ++i) field[w - 1 - i] = tmp[i];
    return true;
}

std::string fixed_text(double x, int w, int d) {
    for (int width = w; width <= 40; ++width) {
        std::string s(static_cast<std::size_t>(width), ' ');
        if (put_fixed(s.data(), width, d, x)) return s;
    }
    fail("number too large for a text field");
}

std::string int_text(long long v, int w) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    if (s.size() < static_cast<std::size_t>(w))
        s.insert(0, static_cast<std::size_t>(w) - s.size(), ' ');
    return s;
}

LineSink::LineSink(const std::string& path, bool crlf)
    : path_(path), buf_(std::size_t{1} << 22), crlf_(crlf) {
    file_ = std::fopen(path.c_str(), "wb");  // binary: we choose the line ends
    if (file_ == nullptr) fail("cannot create file '" + path + "'");
}

LineSink::~LineSink() {
    if (file_ != nullptr) std::fclose(file_);
}

void LineSink::line(std::string_view text) {
    char* p = reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    commit(text.size());
    end_line();
}

void LineSink::flush() {
    if (used_ != 0 && std::fwrite(buf_.data(), 1, used_, file_) != used_)
        fail("cannot write file '" + path_ + "'");
    used_ = 0;
}

void LineSink::close() {
    flush();
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) fail("cannot write file '" + path_ + "'");
}

}  // namespace velor::gen
