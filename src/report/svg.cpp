#include "report/svg.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/portable_math.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::report::svg {
namespace {

// The length of the UTF-8 sequence that starts `text`, 0 when it is not
// one (a stray continuation byte, a cut or overlong sequence, a surrogate,
// a code point beyond U+10FFFF).
std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    const std::size_t n = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (n == 0 || n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    if (n == 3 && ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0))) return 0;
    if (n == 4 && ((lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90))) return 0;
    return n;
}

constexpr double kLegendRow = 14.0;

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t n = utf8_length(text);
        const char c = text[0];
        if (n == 0 || (n == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            out += "\xEF\xBF\xBD";
            text.remove_prefix(1);
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.append(text.substr(0, n));
        }
        text.remove_prefix(n);
    }
    return out;
}

std::string decimal(double value, int decimals) {
    std::string text = textio::format_decimals(value, std::max(decimals, 0));
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string fixed(double value, int decimals) {
    std::string text = decimal(value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

std::string significant(double value, int digits) {
    if (value == 0.0 || !std::isfinite(value)) return fixed(value, 0);
    const int magnitude = model::portable::decimal_exponent(std::fabs(value));
    return fixed(value, std::max(0, digits - 1 - magnitude));
}

std::string shortest(float value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string viridis(double fraction) {
    // The scale sampled at nine equal steps; between them, linear in RGB.
    static constexpr std::array<std::array<int, 3>, 9> kSamples{{{0x44, 0x01, 0x54},
                                                                 {0x47, 0x2d, 0x7b},
                                                                 {0x3b, 0x52, 0x8b},
                                                                 {0x2c, 0x72, 0x8e},
                                                                 {0x21, 0x91, 0x8c},
                                                                 {0x28, 0xae, 0x80},
                                                                 {0x5e, 0xc9, 0x62},
                                                                 {0xad, 0xdc, 0x30},
                                                                 {0xfd, 0xe7, 0x25}}};
    const double place = std::clamp(std::isnan(fraction) ? 0.0 : fraction, 0.0, 1.0) * (kSamples.size() - 1);
    const std::size_t below = std::min(static_cast<std::size_t>(place), kSamples.size() - 2);
    const double share = place - static_cast<double>(below);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string colour = "#";
    for (std::size_t i = 0; i < 3; ++i) {
        const double v = kSamples[below][i] + share * (kSamples[below + 1][i] - kSamples[below][i]);
        const int channel = static_cast<int>(std::lround(v));
        colour += kHex[channel / 16];
        colour += kHex[channel % 16];
    }
    return colour;
}

std::vector<double> ticks(double lo, double hi, int count) {
    if (!(hi > lo) || !std::isfinite(hi - lo)) return {lo};
    const double raw = (hi - lo) / count;
    const double power = model::portable::power_of_ten(model::portable::decimal_exponent(raw));
    const double norm = raw / power;
    const double step = (norm < 1.5 ? 1.0 : norm < 3.5 ? 2.0 : norm < 7.5 ? 5.0 : 10.0) * power;
    // A limit within a billionth of a step of a tick has the tick: lo/step
    // and hi carry the rounding of their own computation.
    constexpr double kTickSlack = 1e-9;
    std::vector<double> values;
    for (double i = std::ceil(lo / step - kTickSlack); i * step <= hi + step * kTickSlack; ++i)
        values.push_back(i * step);
    return values;
}

// floor(log10 step + 1e-9): a step a little under a power of ten counts as it.
int tick_decimals(double step) { return std::max(0, -model::portable::decimal_exponent(step * 1.0000000023025851)); }

std::string marker(Marker shape, double x, double y, const std::string& colour, double size) {
    const std::string fill = "\" fill=\"" + colour + "\"/>";
    switch (shape) {
        case Marker::circle:
            return "<circle cx=\"" + fixed(x, 1) + "\" cy=\"" + fixed(y, 1) + "\" r=\"" + fixed(size, 1) + fill;
        case Marker::square:
            return "<rect x=\"" + fixed(x - size, 1) + "\" y=\"" + fixed(y - size, 1) + "\" width=\"" +
                   fixed(2 * size, 1) + "\" height=\"" + fixed(2 * size, 1) + fill;
        case Marker::triangle:
            return "<path d=\"M" + fixed(x - 1.2 * size, 1) + " " + fixed(y - size, 1) + "h" + fixed(2.4 * size, 1) +
                   "L" + fixed(x, 1) + " " + fixed(y + 1.2 * size, 1) + "z" + fill;
        case Marker::none:
            break;
    }
    return {};
}

std::string open(double width, double height, std::string_view title) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + fixed(width, 1) + " " + fixed(height, 1) +
           "\" width=\"100%\" role=\"img\" font-family=\"sans-serif\" font-size=\"14\"><title>" + escape(title) +
           "</title>\n";
}

Chart::Chart(std::string_view title, Axis x, Axis y, double width, double height)
    : title_(title),
      x_axis_(std::move(x)),
      y_axis_(std::move(y)),
      width_(width),
      height_(height),
      left_(66.0),
      right_(width - 14.0),
      top_(36.0),
      bottom_(height - 42.0) {}

double Chart::x(double value) const {
    const auto place = [&](double v) { return x_axis_.log ? model::portable::log(v) : v; };
    return left_ + (right_ - left_) * (place(value) - place(x_axis_.lo)) / (place(x_axis_.hi) - place(x_axis_.lo));
}

double Chart::y(double value) const {
    const auto place = [&](double v) { return y_axis_.log ? model::portable::log(v) : v; };
    return bottom_ - (bottom_ - top_) * (place(value) - place(y_axis_.lo)) / (place(y_axis_.hi) - place(y_axis_.lo));
}

std::string Chart::line(const std::vector<std::array<double, 2>>& points, const std::string& colour,
                        std::string_view dash) const {
    std::string d;
    bool open_path = false;
    for (const auto& [px, py] : points) {
        if (!std::isfinite(px) || !std::isfinite(py)) {
            open_path = false;
            continue;
        }
        d.append(open_path ? "L" : "M").append(fixed(x(px), 1)).append(" ").append(fixed(y(py), 1));
        open_path = true;
    }
    std::string path = "<path d=\"" + d + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\"";
    if (!dash.empty()) path += " stroke-dasharray=\"" + std::string(dash) + "\"";
    return path + "/>\n";
}

std::string Chart::svg() const {
    std::string out = open(width_, height_, title_);
    const std::string l = fixed(left_, 1), r = fixed(right_, 1), t = fixed(top_, 1), b = fixed(bottom_, 1);
    // Grid lines, tick marks and labels.
    std::string grid, labels;
    const auto axis_ticks = [](const Axis& a) {
        if (!a.log || a.hi / a.lo < 10.0) return ticks(a.lo, a.hi, 6);
        std::vector<double> values;  // 1, 2 and 5 in each decade
        for (double decade = model::portable::power_of_ten(model::portable::decimal_exponent(a.lo)); decade <= a.hi;
             decade *= 10.0)
            for (double m : {1.0, 2.0, 5.0})
                if (m * decade >= a.lo && m * decade <= a.hi) values.push_back(m * decade);
        return values;
    };
    const auto label_of = [](const std::vector<double>& values, double v) {
        return values.size() > 1 ? fixed(v, tick_decimals(values[1] - values[0])) : significant(v, 3);
    };
    const std::vector<double> xs = axis_ticks(x_axis_), ys = axis_ticks(y_axis_);
    for (double v : xs) {
        const std::string px = fixed(x(v), 1);
        grid += "M" + px + " " + t + "V" + b;
        labels += "<text x=\"" + px + "\" y=\"" + fixed(bottom_ + 18, 1) + "\">" + label_of(xs, v) + "</text>";
    }
    for (double v : ys) {
        const std::string py = fixed(y(v), 1);
        grid += "M" + l + " " + py + "H" + r;
        labels += "<text x=\"" + fixed(left_ - 6, 1) + "\" y=\"" + fixed(y(v) + 4, 1) + "\" text-anchor=\"end\">" +
                  label_of(ys, v) + "</text>";
    }
    out += "<path d=\"" + grid + "\" stroke=\"#d8d8d8\" stroke-width=\"1\"/>\n";
    out += "<g text-anchor=\"middle\" fill=\"#222\">" + labels + "</g>\n";
    // Axis titles.
    out += "<text x=\"" + fixed((left_ + right_) / 2, 1) + "\" y=\"" + fixed(height_ - 6, 1) +
           "\" text-anchor=\"middle\" font-size=\"15\">" + escape(x_axis_.title) + "</text>\n";
    out += "<text transform=\"translate(14 " + fixed((top_ + bottom_) / 2, 1) +
           ") rotate(-90)\" text-anchor=\"middle\" font-size=\"15\">" + escape(y_axis_.title) + "</text>\n";
    // The data, in a nested viewport that clips them to the plot area.
    const std::string w = fixed(right_ - left_, 1), h = fixed(bottom_ - top_, 1);
    out += "<svg x=\"" + l + "\" y=\"" + t + "\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"" + l + " " + t +
           " " + w + " " + h + "\">\n" + body + "</svg>\n";
    out += "<rect x=\"" + l + "\" y=\"" + t + "\" width=\"" + w + "\" height=\"" + h +
           "\" fill=\"none\" stroke=\"#444\"/>\n";
    // The legend, in a row above the plot area.
    double at = left_;
    for (const LegendEntry& e : legend) {
        const double mid = top_ - kLegendRow + 2;
        if (e.dash != "none")
            out += "<path d=\"M" + fixed(at, 1) + " " + fixed(mid, 1) + "h24\" stroke=\"" + e.colour +
                   "\" stroke-width=\"2\"" + (e.dash.empty() ? "" : " stroke-dasharray=\"" + e.dash + "\"") + "/>";
        if (e.shape != Marker::none) {
            std::string m = marker(e.shape, at + 12, mid, e.colour);
            if (e.opacity < 1.0) m.insert(m.size() - 2, " fill-opacity=\"" + fixed(e.opacity, 2) + "\"");
            out += m;
        }
        out += "<text x=\"" + fixed(at + 30, 1) + "\" y=\"" + fixed(mid + 4, 1) + "\">" + escape(e.text) + "</text>\n";
        at += 30 + 7.4 * static_cast<double>(e.text.size()) + 30;
    }
    return out + std::string(kClose);
}

}  // namespace velor::report::svg
