// The drawing layer of the report page: text made safe for XML, numbers
// in short form, a colour scale, and a chart frame with axes, ticks,
// labels and a legend.  Every plot of the page is drawn with it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velor::report::svg {

// Text for XML character data and attribute values: & < > " ' as entities;
// bytes that are not UTF-8, and control characters XML forbids, become
// U+FFFD.
std::string escape(std::string_view text);

// A number with `decimals` decimals, for columns of a table ("0.900"):
// textio::format_decimals, the program's one rounding of numbers to text,
// which rounds as the report's fields do, but never "-0".
std::string decimal(double value, int decimals);
// The same with trailing zeros and a bare point dropped ("12.5", "3",
// "-0.25"), for coordinates and labels.
std::string fixed(double value, int decimals);
// A number with `digits` significant digits, as fixed() writes it.
std::string significant(double value, int digits);
// The shortest text that reads back as the same float (cell, λ, options).
std::string shortest(float value);

// Viridis, from dark violet (0) to yellow (1): its lightness rises
// steadily, so it reads in grey and for every common colour blindness.
std::string viridis(double fraction);  // "#rrggbb", fraction clamped to [0, 1]

// Tick values: multiples of 1, 2 or 5 times a power of ten within
// [lo, hi], about `count` of them.
std::vector<double> ticks(double lo, double hi, int count);
// The decimals that tell apart ticks `step` apart.
int tick_decimals(double step);

// An axis: the range of values it shows and its title, with the unit.
// A log axis places values by their logarithm.
struct Axis {
    double lo = 0.0, hi = 1.0;
    std::string title;
    bool log = false;
};

// Markers of the legend and the data: a filled circle, square or
// downward triangle of the given colour, centred on (x, y).
enum class Marker { none, circle, square, triangle };
std::string marker(Marker shape, double x, double y, const std::string& colour, double size = 4.0);

struct LegendEntry {
    std::string text;  // plain text, escaped when drawn
    std::string colour;
    Marker shape = Marker::none;
    std::string dash;  // stroke-dasharray of the line, empty for solid; no line when "none"
    double opacity = 1.0;
};

// An SVG element that scales with the width of the page: a viewBox of
// width × height units, width 100 %, with a title for screen readers.
std::string open(double width, double height, std::string_view title);
inline constexpr std::string_view kClose = "</svg>\n";

// A chart: a plot area with a frame, a grid, ticks and tick labels on both
// axes, the axis titles, and a legend above the plot area.  The data are
// drawn in the chart's coordinates through x() and y(), and appended to
// `body`, which is drawn clipped to the plot area.
class Chart {
public:
    Chart(std::string_view title, Axis x, Axis y, double width = 520.0, double height = 320.0);

    double x(double value) const;
    double y(double value) const;
    // A polyline through the points, broken where a value is not finite.
    std::string line(const std::vector<std::array<double, 2>>& points, const std::string& colour,
                     std::string_view dash = {}) const;

    std::string body;
    std::vector<LegendEntry> legend;

    std::string svg() const;

private:
    std::string title_;
    Axis x_axis_, y_axis_;
    double width_, height_;
    double left_, right_, top_, bottom_;  // the plot area in SVG units
};

}  // namespace velor::report::svg
