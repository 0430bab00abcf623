// What a run measures beyond the report, for the summary files: how well
// the fit is determined and how the correction behaves across resolution
// and direction.  The counts and sums take constant memory whatever the
// size of the list, and none of the report's own sums is touched.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/reflection.hpp"
#include "model/correction.hpp"
#include "model/geometry.hpp"

namespace velor::model {

struct Miller {
    std::int32_t h = 0, k = 0, l = 0;
};

// A resolution shell: the reflections with sin θ in (low, high], and the R
// sums of the report over them (R = Σ|√|Fo²| − √|Fc²|| / Σ√|Fo²|).
struct ResolutionShell {
    double sin_theta_low = 0.0, sin_theta_high = 0.0;
    long count = 0;
    double n_before = 0.0, d_before = 0.0, n_after = 0.0, d_after = 0.0;
    double sum_s = 0.0;

    double r_before() const { return n_before / d_before; }
    double r_after() const { return n_after / d_after; }
    double mean_s() const { return sum_s / static_cast<double>(count); }
};

// A bin of the histogram of S: [lower, upper).
struct HistogramBin {
    double lower = 0.0, upper = 0.0;
    long count = 0;
};

// One reflection of the sample drawn on the plots.
struct SamplePoint {
    double sin_theta = 0.0, s = 0.0;
};

// What the first pass sees of the whole list: how many reflections were
// read, and the largest sin θ, which sets the resolution shells.
struct ListExtent {
    long read = 0;
    double max_sin2 = 0.0;

    void add(double sin2) {
        ++read;
        if (sin2 > max_sin2) max_sin2 = sin2;
    }
};

// The second pass's measurements.
class Diagnostics {
public:
    static constexpr int kShells = 10;
    static constexpr std::size_t kMaxSample = 5000;

    // `extent` from the first pass.
    explicit Diagnostics(const ListExtent& extent);

    // One reflection: its geometry, its corrected values and S, its share
    // of the report's R sums, and whether the screening accepts it.
    void add(const core::Reflection& r, const Geometry& g, const CorrectedReflection& c, const RContribution& rc,
             bool accepted);

    // χ² = Σ w·(Fo² − S·Fc²)² over the accepted reflections, from the
    // residuals themselves (not Σwy² − xᵀb, which cancels badly when the fit
    // is good), and their number.
    double chi_squared() const { return chi_squared_; }
    long accepted() const { return accepted_; }

    const std::array<ResolutionShell, kShells>& shells() const { return shells_; }
    double smallest_s() const { return smallest_; }
    double largest_s() const { return largest_; }
    const Miller& smallest_at() const { return smallest_at_; }
    const Miller& largest_at() const { return largest_at_; }
    // The histogram of S over all reflections with a positive, finite S,
    // in about `bins` bins of equal width in log S.
    std::vector<HistogramBin> histogram(int bins = 20) const;
    const std::vector<SamplePoint>& sample() const { return sample_; }

private:
    // S is counted in fine bins of equal width in log S, 128 to the octave
    // over 2⁻¹⁶ to 2¹⁶: S = m·2^e with 1 ≤ m < 2 falls in bin j of octave e
    // when 2^(j/128) ≤ m < 2^((j+1)/128), 0.54 % of S wide.  The octave is
    // the exponent of the double; j comes from a table over the first 8
    // bits of the mantissa, whose 256 equal steps are each narrower than a
    // fine bin, so that at most one edge lies inside a step and a single
    // comparison settles the rest.  The histogram merges the fine bins.
    static constexpr int kFinePerOctave = 128;
    static constexpr int kOctaves = 32;
    static constexpr int kFineBins = kFinePerOctave * kOctaves;
    static constexpr int kStepBits = 8;
    struct OctaveEdges {
        std::array<double, kFinePerOctave + 1> edge{};    // 2^(j/128); 1 and 2 exactly
        std::array<std::uint8_t, 1u << kStepBits> first{};  // the bin of the lowest m of each step
    };
    static const OctaveEdges& octave_edges();
    std::size_t fine_bin(double s) const {
        const auto bits = std::bit_cast<std::uint64_t>(s);
        const long octave = static_cast<long>(bits >> 52) - 1023;
        constexpr std::uint64_t kMantissa = (std::uint64_t{1} << 52) - 1, kExponentOfOne = std::uint64_t{1023} << 52;
        const double m = std::bit_cast<double>((bits & kMantissa) | kExponentOfOne);
        std::size_t j = edges_.first[(bits >> (52 - kStepBits)) & ((1u << kStepBits) - 1)];
        if (m >= edges_.edge[j + 1]) ++j;
        const long fine = (octave + kOctaves / 2) * kFinePerOctave + static_cast<long>(j);
        return static_cast<std::size_t>(std::clamp(fine, 0L, static_cast<long>(kFineBins - 1)));
    }
    double fine_edge(long fine) const;

    const OctaveEdges& edges_ = octave_edges();
    double chi_squared_ = 0.0;
    long accepted_ = 0;
    std::array<ResolutionShell, kShells> shells_{};
    std::array<double, kShells> shell_top_sin2_{};  // upper limits in sin²θ
    static constexpr std::size_t kShellLookup = 256;
    std::array<std::uint8_t, kShellLookup> shell_lookup_{};
    double shell_lookup_scale_ = 0.0;
    double smallest_ = std::numeric_limits<double>::infinity(), largest_ = -smallest_;
    Miller smallest_at_, largest_at_;
    std::vector<long> fine_bins_;
    long stride_;     // every stride-th reflection joins the sample
    long countdown_ = 0;  // reflections until the next one does
    std::vector<SamplePoint> sample_;
};

// Inline: the second pass calls it for every reflection.
inline void Diagnostics::add(const core::Reflection& r, const Geometry& g, const CorrectedReflection& c,
                             const RContribution& rc, bool accepted) {
    if (accepted) {
        const double sigma = r.sigma;
        const double residual = static_cast<double>(r.fo2) - c.s * static_cast<double>(r.fc2);
        chi_squared_ += residual * residual / (sigma * sigma);
        ++accepted_;
    }

    // The shell from a table over sin²θ, then at most a step or two up.
    const double place = std::clamp(g.sin2 * shell_lookup_scale_, 0.0, static_cast<double>(kShellLookup - 1));
    // (sin²θ is never NaN: it is formed from whole indices and finite cell.)
    std::size_t index = shell_lookup_[static_cast<std::size_t>(place)];
    while (!(g.sin2 <= shell_top_sin2_[index]) && index + 1 < kShells) ++index;
    ResolutionShell& shell = shells_[index];
    ++shell.count;
    shell.n_before += rc.n_before;
    shell.d_before += rc.d_before;
    shell.n_after += rc.n_after;
    shell.d_after += rc.d_after;
    shell.sum_s += c.s;

    // A scale factor that is not a positive number stops the run, and with
    // it the summary: such an S only has to do no harm here.
    if (c.s < smallest_) {
        smallest_ = c.s;
        smallest_at_ = {r.h, r.k, r.l};
    }
    if (c.s > largest_) {
        largest_ = c.s;
        largest_at_ = {r.h, r.k, r.l};
    }
    ++fine_bins_[fine_bin(c.s)];
    if (countdown_-- == 0) {
        countdown_ = stride_ - 1;
        if (sample_.size() < kMaxSample) sample_.push_back({std::sqrt(std::max(g.sin2, 0.0)), c.s});
    }
}

}  // namespace velor::model
