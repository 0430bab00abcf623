// The histogram of S in the summary.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/diagnostics.hpp"

namespace velor::model {
namespace {

std::vector<HistogramBin> histogram_of(const std::vector<double>& scale_factors, int bins) {
    ListExtent extent;
    extent.add(0.25);
    Diagnostics d(extent);
    Geometry g;
    g.sin2 = 0.25;
    for (double s : scale_factors) d.add(core::Reflection{}, g, CorrectedReflection{s, 1.0, 1.0}, RContribution{}, false);
    return d.histogram(bins);
}

// S from `low` on, each `factor` times the one before, below `high`.
std::vector<double> geometric(double low, double high, double factor) {
    std::vector<double> s;
    for (double v = low; v < high; v *= factor) s.push_back(v);
    return s;
}

// Every bin spans the same ratio of S, on both sides of an octave's edge
// (S = 1 among them), the bins follow one another without gap, and each S
// is counted in the bin whose edges hold it.
TEST(Diagnostics, HistogramBinsEqualInLogS) {
    const struct {
        const char* what;
        std::vector<double> s;
        int bins;
        std::size_t expected_bins;
        double octaves_per_bin;
    } cases[] = {
        {"0.9 to 1.1", {0.9, 1.1}, 20, 19, 2.0 / 128},
        {"0.5 to 2", {0.5, 2.0}, 20, 20, 13.0 / 128},
        {"one value", {1.0}, 20, 1, 1.0 / 128},
        {"0.3 to 3.3, dense", geometric(0.3, 3.3, 1.0007), 40, 37, 12.0 / 128},
        {"tiny and huge", {1e-3, 1e3}, 10, 10, 256.0 / 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<HistogramBin> bins = histogram_of(c.s, c.bins);
        ASSERT_EQ(bins.size(), c.expected_bins);
        const double ratio = std::exp2(c.octaves_per_bin);
        std::vector<long> counted(bins.size(), 0);
        for (std::size_t i = 0; i < bins.size(); ++i) {
            EXPECT_NEAR(bins[i].upper / bins[i].lower, ratio, ratio * 1e-15) << "bin " << i << " at " << bins[i].lower;
            if (i > 0) {
                EXPECT_EQ(bins[i].lower, bins[i - 1].upper);
            }
        }
        for (double s : c.s)
            for (std::size_t i = 0; i < bins.size(); ++i)
                if (bins[i].lower <= s && s < bins[i].upper) ++counted[i];
        for (std::size_t i = 0; i < bins.size(); ++i) EXPECT_EQ(bins[i].count, counted[i]) << "bin " << i;
    }
}

}  // namespace
}  // namespace velor::model
