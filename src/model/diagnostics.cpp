#include "model/diagnostics.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "model/portable_math.hpp"

namespace velor::model {

Diagnostics::Diagnostics(const ListExtent& extent)
    : fine_bins_(kFineBins, 0),
      stride_(std::max(1L, (extent.read + static_cast<long>(kMaxSample) - 1) / static_cast<long>(kMaxSample))) {
    // Equal reciprocal volume: sin³θ in equal steps up to the largest sin θ.
    const double max_sin = std::sqrt(extent.max_sin2);
    for (int i = 0; i < kShells; ++i) {
        ResolutionShell& shell = shells_[static_cast<std::size_t>(i)];
        shell.sin_theta_low = max_sin * portable::cbrt(static_cast<double>(i) / kShells);
        shell.sin_theta_high = max_sin * portable::cbrt(static_cast<double>(i + 1) / kShells);
        shell_top_sin2_[static_cast<std::size_t>(i)] = shell.sin_theta_high * shell.sin_theta_high;
    }
    shell_top_sin2_[kShells - 1] = std::numeric_limits<double>::infinity();
    // shell_lookup_[i]: the shell of the lowest sin²θ of step i.
    shell_lookup_scale_ = extent.max_sin2 > 0.0 ? kShellLookup / extent.max_sin2 : 0.0;
    for (std::size_t i = 0, shell = 0; i < kShellLookup; ++i) {
        const double sin2 = static_cast<double>(i) * extent.max_sin2 / kShellLookup;
        while (!(sin2 <= shell_top_sin2_[shell]) && shell + 1 < kShells) ++shell;
        shell_lookup_[i] = static_cast<std::uint8_t>(shell);
    }
    sample_.reserve(kMaxSample);
}


const Diagnostics::OctaveEdges& Diagnostics::octave_edges() {
    static const OctaveEdges edges = [] {
        OctaveEdges e;
        // The program's own exp: the same edges on every system.
        constexpr double kLn2 = 0.6931471805599453;
        for (int j = 0; j <= kFinePerOctave; ++j)
            e.edge[static_cast<std::size_t>(j)] = portable::exp(static_cast<double>(j) * kLn2 / kFinePerOctave);
        e.edge.front() = 1.0;
        e.edge.back() = 2.0;
        for (std::size_t step = 0, j = 0; step < e.first.size(); ++step) {
            const double lowest = 1.0 + static_cast<double>(step) / static_cast<double>(e.first.size());
            while (e.edge[j + 1] <= lowest) ++j;
            e.first[step] = static_cast<std::uint8_t>(j);
        }
        return e;
    }();
    return edges;
}

double Diagnostics::fine_edge(long fine) const {
    const long octave = fine / kFinePerOctave, step = fine % kFinePerOctave;
    return std::ldexp(edges_.edge[static_cast<std::size_t>(step)], static_cast<int>(octave - kOctaves / 2));
}

std::vector<HistogramBin> Diagnostics::histogram(int bins) const {
    const auto first = std::find_if(fine_bins_.begin(), fine_bins_.end(), [](long n) { return n != 0; });
    if (first == fine_bins_.end()) return {};
    const auto last = std::find_if(fine_bins_.rbegin(), fine_bins_.rend(), [](long n) { return n != 0; }).base();
    const long from = first - fine_bins_.begin(), to = last - fine_bins_.begin();  // [from, to)
    const long width = (to - from + bins - 1) / bins;
    std::vector<HistogramBin> result;
    for (long start = from; start < to; start += width) {
        HistogramBin bin{fine_edge(start), fine_edge(start + width), 0};
        for (long f = start; f < std::min(start + width, static_cast<long>(kFineBins)); ++f)
            bin.count += fine_bins_[static_cast<std::size_t>(f)];
        result.push_back(bin);
    }
    return result;
}

}  // namespace velor::model
