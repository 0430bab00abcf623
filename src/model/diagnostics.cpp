#include "model/diagnostics.hpp"

#include <algorithm>
#include <cmath>

namespace velor::model {

std::array<double, kMaxParameters> inverse_diagonal(const NormalEquations& factor, const Solution& solution, int n) {
    const auto size = static_cast<std::size_t>(n);
    const auto& a = factor.a;
    const auto& d = solution.diagonal;
    std::array<double, kMaxParameters> diagonal{};
    std::array<double, kMaxParameters> column{};
    for (std::size_t p = 0; p < size; ++p) {
        // Column p of L⁻¹: L·m = e_p, m zero above p.
        column[p] = 1.0 / d[p];
        double sum_sq = column[p] * column[p];
        for (std::size_t i = p + 1; i < size; ++i) {
            double s = 0.0;
            for (std::size_t c = p; c < i; ++c) s += a[i][c] * column[c];
            column[i] = -s / d[i];
            sum_sq += column[i] * column[i];
        }
        diagonal[p] = sum_sq;
    }
    return diagonal;
}

Diagnostics::Diagnostics(const ListExtent& extent, const Screening& screening, float z1)
    : screening_(screening),
      z1_(z1),
      shell_scale_(kShells / std::pow(extent.max_sin2, 1.5)),
      fine_bins_(kFineBins, 0),
      stride_(std::max(1L, (extent.read + static_cast<long>(kMaxSample) - 1) / static_cast<long>(kMaxSample))) {
    // Equal reciprocal volume: sin³θ in equal steps up to the largest sin θ.
    const double max_sin = std::sqrt(extent.max_sin2);
    for (int i = 0; i < kShells; ++i) {
        shells_[static_cast<std::size_t>(i)].sin_theta_low = max_sin * std::cbrt(static_cast<double>(i) / kShells);
        shells_[static_cast<std::size_t>(i)].sin_theta_high =
            max_sin * std::cbrt(static_cast<double>(i + 1) / kShells);
    }
    sample_.reserve(kMaxSample);
}

void Diagnostics::add(const input::Reflection& r, const Geometry& g, const CorrectedReflection& c) {
    if (screening_.accepts(r, g.sin2)) {
        const double sigma = r.sigma;
        const double residual = static_cast<double>(r.fo2) - c.s * static_cast<double>(r.fc2);
        chi_squared_ += residual * residual / (sigma * sigma);
        ++accepted_;
    }

    const double sin3 = g.sin2 > 0.0 ? std::pow(g.sin2, 1.5) : 0.0;
    const double place = sin3 * shell_scale_;
    const auto index = static_cast<std::size_t>(std::clamp(place, 0.0, static_cast<double>(kShells - 1)));
    ResolutionShell& shell = shells_[index];
    const RContribution rc = r_contribution(r, c, z1_);
    ++shell.count;
    shell.n_before += rc.n_before;
    shell.d_before += rc.d_before;
    shell.n_after += rc.n_after;
    shell.d_after += rc.d_after;
    shell.sum_s += c.s;

    const Miller at{r.h, r.k, r.l};
    if (!(c.s >= smallest_)) {
        if (!std::isnan(c.s)) smallest_ = c.s, smallest_at_ = at;
    }
    if (!(c.s <= largest_)) {
        if (!std::isnan(c.s)) largest_ = c.s, largest_at_ = at;
    }
    if (c.s > 0.0 && c.s <= std::numeric_limits<double>::max()) {
        const double place_in_log = (std::log2(c.s) + kOctaves / 2) * kFinePerOctave;
        fine_bins_[static_cast<std::size_t>(std::clamp(place_in_log, 0.0, kFineBins - 1.0))] += 1;
    }
    if (seen_++ % stride_ == 0 && sample_.size() < kMaxSample)
        sample_.push_back({std::sqrt(std::max(g.sin2, 0.0)), c.s});
}

std::vector<HistogramBin> Diagnostics::histogram(int bins) const {
    const auto first = std::find_if(fine_bins_.begin(), fine_bins_.end(), [](long n) { return n != 0; });
    if (first == fine_bins_.end()) return {};
    const auto last = std::find_if(fine_bins_.rbegin(), fine_bins_.rend(), [](long n) { return n != 0; }).base();
    const long from = first - fine_bins_.begin(), to = last - fine_bins_.begin();  // [from, to)
    const long width = (to - from + bins - 1) / bins;
    const auto edge = [](long fine) { return std::exp2(static_cast<double>(fine) / kFinePerOctave - kOctaves / 2); };
    std::vector<HistogramBin> result;
    for (long start = from; start < to; start += width) {
        HistogramBin bin{edge(start), edge(start + width), 0};
        for (long f = start; f < std::min(start + width, static_cast<long>(kFineBins)); ++f)
            bin.count += fine_bins_[static_cast<std::size_t>(f)];
        result.push_back(bin);
    }
    return result;
}

}  // namespace velor::model
