#include "report/plots.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "model/correction_surface.hpp"
#include "report/svg.hpp"

namespace velor::report {
namespace {

using svg::fixed;

// The two colours of the line plots: the darkest and the middle of the
// scale, apart in grey too.
std::string dark_colour() { return svg::viridis(0.0); }
std::string middle_colour() { return svg::viridis(0.5); }

double largest_sin_theta(const Summary& s) { return s.shells.back().sin_theta_high; }

svg::Axis sin_theta_axis(const Summary& s) { return {0.0, largest_sin_theta(s) * 1.02, "sin θ (θ Bragg angle)"}; }

double shell_middle(const model::ResolutionShell& shell) { return 0.5 * (shell.sin_theta_low + shell.sin_theta_high); }

// A range widened by a share of its width on both sides (or by a little
// when it has none).
std::array<double, 2> padded(double lo, double hi, double share) {
    constexpr double kFlatPad = 0.05;       // of the value, for a range of no width
    constexpr double kSmallestValue = 1e-3;  // so that a range at 0 has a width too
    const double pad = hi > lo ? share * (hi - lo) : kFlatPad * std::max(std::fabs(hi), kSmallestValue);
    return {lo - pad, hi + pad};
}

// One direction map: the grid's cells in colour, those of unsampled
// directions grey, clipped to the disc; the cells of the largest and
// smallest S among the sampled ones and the reciprocal axes marked.
constexpr int kSteps = 64;  // steps of colour
constexpr int kGrey = kSteps;  // the step of the unsampled directions
constexpr const char* kGreyColour = "#c8c8c8";
constexpr double kMapSize = 260.0, kRadius = 112.0, kCx = 130.0, kCy = 136.0;

// `sampled`: the grid with NaN in the cells of unsampled directions.
template <class StepOf>
std::string direction_map(const model::SurfaceGrid& g, const model::SurfaceGrid& sampled, const StepOf& step_of,
                          const std::array<model::Vector3, 3>& axes, const std::string& id) {
    const auto step_at = [&](int row, int column) {
        return std::isnan(sampled.at(row, column)) ? kGrey : step_of(g.at(row, column));
    };
    // Cells of one step in a row make one rectangle, and all rectangles of
    // one colour one path, in units of one cell.
    std::array<std::string, kSteps + 1> runs;
    for (int row = 0; row < g.size; ++row) {
        for (int column = 0, end = 0; column < g.size; column = end) {
            end = column + 1;
            if (!std::isfinite(g.at(row, column))) continue;
            const int step = step_at(row, column);
            while (end < g.size && std::isfinite(g.at(row, end)) && step_at(row, end) == step) ++end;
            const std::string width = std::to_string(end - column);
            std::string& run = runs[static_cast<std::size_t>(step)];
            run.append("M").append(std::to_string(column)).append(" ").append(std::to_string(row));
            run.append("h").append(width).append("v1h-").append(width).append("z");
        }
    }
    const std::string half = fixed(g.size / 2.0, 1);
    std::string out =
        svg::open(kMapSize, kMapSize, "S by direction of the scattering vector at sin θ = " + fixed(g.sin_theta, 3));
    out +=
        "<clipPath id=\"" + id + "\"><circle cx=\"" + half + "\" cy=\"" + half + "\" r=\"" + half + "\"/></clipPath>\n";
    out += "<g transform=\"translate(" + fixed(kCx - kRadius, 1) + " " + fixed(kCy - kRadius, 1) + ") scale(" +
           fixed(2.0 * kRadius / g.size, 4) + ")\" clip-path=\"url(#" + id + ")\" shape-rendering=\"crispEdges\">\n";
    for (std::size_t step = 0; step < runs.size(); ++step)
        if (!runs[step].empty())
            out += "<path fill=\"" +
                   (step == kGrey ? std::string(kGreyColour) : svg::viridis(static_cast<double>(step) / (kSteps - 1))) +
                   "\" d=\"" + runs[step] + "\"/>\n";
    out += "</g>\n<circle cx=\"" + fixed(kCx, 1) + "\" cy=\"" + fixed(kCy, 1) + "\" r=\"" + fixed(kRadius, 1) +
           "\" fill=\"none\" stroke=\"#444\"/>\n";

    // Marks and labels in black on a white halo, readable on every colour.
    const auto sx = [](double x) { return fixed(kCx + kRadius * x, 1); };
    const auto sy = [](double y) { return fixed(kCy - kRadius * y, 1); };
    out += "<g font-size=\"13\" text-anchor=\"middle\" paint-order=\"stroke\" stroke=\"#fff\" stroke-width=\"3\">\n";
    const model::GridExtremes e = model::extremes(sampled);
    if (e.max_row >= 0) {
        for (const auto& [row, column, name] :
             {std::tuple{e.max_row, e.max_column, "max"}, std::tuple{e.min_row, e.min_column, "min"}}) {
            double x = g.x_of(column), y = g.y_of(row);
            if (const double r = std::hypot(x, y); r > 1.0) x /= r, y /= r;
            out += "<circle cx=\"" + sx(x) + "\" cy=\"" + sy(y) +
                   "\" r=\"3.5\" fill=\"#000\" stroke=\"#fff\" stroke-width=\"1.5\"/><text x=\"" + sx(x) + "\" y=\"" +
                   sy(y + 0.07) + "\">" + name + "</text>\n";
        }
    }
    static constexpr std::array<const char*, 3> kAxisNames{"a*", "b*", "c*"};
    for (std::size_t a = 0; a < 3; ++a) {
        const double length = std::hypot(axes[a][0], axes[a][1], axes[a][2]);
        const auto [x, y] = model::lambert_point({axes[a][0] / length, axes[a][1] / length, axes[a][2] / length});
        // On or near the rim the label goes outside it, elsewhere beside the mark.
        const double r = std::hypot(x, y);
        const double lx = r > 0.75 ? x * (r + 0.1) / r : x + 0.09;
        const double ly = r > 0.75 ? y * (r + 0.1) / r - 0.04 : y + 0.05;
        out += "<path d=\"M" + fixed(kCx + kRadius * x - 5, 1) + " " + sy(y) +
               "h10m-5 -5v10\" stroke=\"#000\" stroke-width=\"1.5\"/><text x=\"" + sx(lx) + "\" y=\"" + sy(ly) +
               "\" font-style=\"italic\">" + kAxisNames[a] + "</text>\n";
    }
    return out + "</g>\n" + std::string(svg::kClose);
}

}  // namespace

std::string scale_against_resolution(const Summary& s) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const model::SamplePoint& p : s.sample)
        if (std::isfinite(p.s)) lo = std::min(lo, p.s), hi = std::max(hi, p.s);
    std::vector<std::array<double, 2>> means;
    for (const model::ResolutionShell& shell : s.shells) {
        means.push_back({shell_middle(shell), shell.count > 0 ? shell.mean_s() : std::nan("")});
        if (shell.count > 0) lo = std::min(lo, shell.mean_s()), hi = std::max(hi, shell.mean_s());
    }
    if (!(lo <= hi)) lo = hi = 1.0;
    const auto [y_lo, y_hi] = padded(lo, hi, 0.05);
    svg::Chart chart("Scale factor S against sin θ", sin_theta_axis(s), {y_lo, y_hi, "scale factor S"});
    // Each reflection a dot: a subpath of no length, drawn with round caps.
    std::string dots;
    for (const model::SamplePoint& p : s.sample)
        if (std::isfinite(p.s))
            dots.append("M")
                .append(fixed(chart.x(p.sin_theta), 1))
                .append(" ")
                .append(fixed(chart.y(p.s), 1))
                .append("h0");
    const std::string dark = dark_colour(), middle = middle_colour();
    chart.body = "<path d=\"" + dots + "\" stroke=\"" + middle +
                 "\" stroke-opacity=\"0.4\" stroke-width=\"3.5\" stroke-linecap=\"round\"/>\n";
    chart.body += chart.line(means, dark);
    for (const auto& [x, y] : means)
        if (std::isfinite(y)) chart.body += svg::marker(svg::Marker::circle, chart.x(x), chart.y(y), dark);
    chart.legend = {
        {"S of " + std::to_string(s.sample.size()) + " reflections", middle, svg::Marker::circle, "none", 0.4},
        {"mean S of each shell", dark, svg::Marker::circle, ""}};
    return chart.svg();
}

std::string r_by_shell(const Summary& s) {
    std::vector<std::array<double, 2>> before, after;
    double hi = 0.0;
    for (const model::ResolutionShell& shell : s.shells) {
        const bool any = shell.count > 0 && shell.d_before > 0.0 && shell.d_after > 0.0;
        before.push_back({shell_middle(shell), any ? shell.r_before() : std::nan("")});
        after.push_back({shell_middle(shell), any ? shell.r_after() : std::nan("")});
        if (any) hi = std::max({hi, shell.r_before(), shell.r_after()});
    }
    svg::Chart chart("R before and after the correction by resolution shell", sin_theta_axis(s),
                     {0.0, hi > 0.0 ? hi * 1.1 : 1.0, "R = Σ|√Fo² − √Fc²| / Σ√Fo²"});
    const std::string dark = dark_colour(), middle = middle_colour();
    const struct {
        const std::vector<std::array<double, 2>>& points;
        const std::string& colour;
        svg::Marker shape;
        const char* dash;
        const char* text;
    } series[] = {{before, dark, svg::Marker::circle, "6 4", "R before correction"},
                  {after, middle, svg::Marker::square, "", "R after correction"}};
    for (const auto& line : series) {
        chart.body += chart.line(line.points, line.colour, line.dash);
        for (const auto& [x, y] : line.points)
            if (std::isfinite(y)) chart.body += svg::marker(line.shape, chart.x(x), chart.y(y), line.colour);
        chart.legend.push_back({line.text, line.colour, line.shape, line.dash});
    }
    return chart.svg();
}

std::string scale_histogram(const Summary& s) {
    long most = 1;
    for (const model::HistogramBin& bin : s.histogram) most = std::max(most, bin.count);
    const double lo = s.histogram.empty() ? 0.5 : s.histogram.front().lower;
    const double hi = s.histogram.empty() ? 2.0 : s.histogram.back().upper;
    svg::Chart chart("Histogram of the scale factors S", {lo, hi, "scale factor S (log scale)", true},
                     {0.0, static_cast<double>(most) * 1.1, "reflections"});
    const std::string fill = svg::viridis(0.3);
    for (const model::HistogramBin& bin : s.histogram) {
        const double left = chart.x(bin.lower), top = chart.y(static_cast<double>(bin.count));
        chart.body += "<rect x=\"" + fixed(left, 1) + "\" y=\"" + fixed(top, 1) + "\" width=\"" +
                      fixed(chart.x(bin.upper) - left, 1) + "\" height=\"" + fixed(chart.y(0.0) - top, 1) +
                      "\" fill=\"" + fill + "\" stroke=\"#fff\" stroke-width=\"0.5\"/>\n";
    }
    return chart.svg();
}

namespace {

// The grid with NaN in the cells whose direction the data do not sample;
// with no mask of the grid's size, or no sampled cell, the grid itself.
model::SurfaceGrid sampled_part(const model::SurfaceGrid& grid, const std::vector<std::uint8_t>& mask) {
    if (mask.size() != grid.s.size() || std::find(mask.begin(), mask.end(), 1) == mask.end()) return grid;
    model::SurfaceGrid part = grid;
    for (std::size_t i = 0; i < mask.size(); ++i)
        if (mask[i] == 0) part.s[i] = std::numeric_limits<double>::quiet_NaN();
    return part;
}

}  // namespace

DirectionMaps direction_maps(const Summary& s, int grid_size) {
    DirectionMaps result;
    core::Coefficients coefficients{};
    for (std::size_t p = 0; p < s.coefficients.size(); ++p) coefficients[p] = s.coefficients[p].value;
    std::array<model::SurfaceGrid, 3> grids, sampled;
    // The colour scale spans S over the sampled directions only: beyond the
    // data the model is extrapolated and may take any value.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (std::size_t m = 0; m < 3; ++m) {
        result.sin_theta[m] = s.shells[std::array<std::size_t, 3>{0, 4, 9}[m]].sin_theta_high;
        grids[m] = model::correction_surface(s.reciprocal, s.scale, coefficients, result.sin_theta[m], grid_size);
        sampled[m] = sampled_part(grids[m], s.trust.map_mask);
        for (double v : sampled[m].s)
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    if (!(lo <= hi)) lo = hi = 1.0;
    const auto fraction = [&](double v) { return hi > lo ? (v - lo) / (hi - lo) : 0.5; };
    const auto step_of = [&](double v) {
        return std::clamp(static_cast<int>(std::lround(fraction(v) * (kSteps - 1))), 0, kSteps - 1);
    };
    const auto axes = model::reciprocal_axes(s.reciprocal);
    for (std::size_t m = 0; m < 3; ++m)
        result.maps[m] = direction_map(grids[m], sampled[m], step_of, axes, "disc" + std::to_string(m + 1));
    const model::TrustFigures& t = s.trust;
    if (t.variance != nullptr && t.map_mask.size() == grids[0].s.size()) {
        for (std::size_t m = 0; m < 3; ++m)
            result.figures[m] = model::MapDirections(t.map_mask, s.reciprocal, s.scale.lambda_sq(), result.sin_theta[m],
                                                     grid_size)
                                    .figures(s.scale, coefficients, t.variance.get(), t.variance_factor);
    }

    // The colour bar, with its ticks below.
    constexpr double kLeft = 20.0, kWidth = 560.0;
    std::string& bar = result.colour_bar;
    bar = svg::open(600.0, 64.0, "Colour scale of S");
    for (int step = 0; step < kSteps; ++step) {
        // The values that take this step's colour.
        const double from = std::max(0.0, (step - 0.5) / (kSteps - 1)), to = std::min(1.0, (step + 0.5) / (kSteps - 1));
        bar += "<rect x=\"" + fixed(kLeft + kWidth * from, 2) + "\" y=\"4\" width=\"" +
               fixed(kWidth * (to - from) + 0.3, 2) + "\" height=\"18\" fill=\"" +
               svg::viridis(static_cast<double>(step) / (kSteps - 1)) + "\"/>";
    }
    bar += "\n<g text-anchor=\"middle\">";
    const std::vector<double> ticks = svg::ticks(lo, hi, 6);
    for (double v : ticks) {
        const std::string x = fixed(kLeft + kWidth * fraction(v), 1);
        bar += "<path d=\"M" + x + " 22v5\" stroke=\"#000\"/><text x=\"" + x + "\" y=\"39\">" +
               fixed(v, ticks.size() > 1 ? svg::tick_decimals(ticks[1] - ticks[0]) : 3) + "</text>";
    }
    bar += "<text x=\"300\" y=\"58\" font-size=\"13\">scale factor S</text></g>\n" + std::string(svg::kClose);
    return result;
}

}  // namespace velor::report
