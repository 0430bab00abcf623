// The standard uncertainty of the fitted scale factor of a reflection.
//
// The coefficients x of the weighted least-squares fit have the covariance
// Σ = χ²/(n − p)·A⁻¹ (A the normal matrix, n accepted reflections, p
// parameters), and S = λ²·gᵀx has σ²(S) = λ⁴·gᵀΣg, g the reflection's basis
// vector.  χ² is known only after the second pass, so the pass gathers the
// variance for χ²/(n − p) = 1 and the factor is applied at the end.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/fit_result.hpp"
#include "model/component_pairs.hpp"
#include "model/double_pair.hpp"
#include "model/geometry.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_model.hpp"

namespace velor::model {

// A⁻¹ of the leading n×n block, in full, from the factor that
// cholesky_solve left: A⁻¹ = L⁻ᵀ·L⁻¹.
using SquareMatrix = std::array<std::array<double, core::kMaxParameters>, core::kMaxParameters>;
SquareMatrix inverse_normal_matrix(const NormalEquations& factor, const core::FitResult& fit, int n);

// χ²/(n − p), the factor of A⁻¹ in the covariance; NaN when the fit has no
// degree of freedom (n ≤ p).
double variance_factor(double chi_squared, long n, int p);

// λ⁴·gᵀA⁻¹g of any reflection.  The basis is a product, g_p = s^e_i·T_j
// for p = j + 6i (s = sin²θ), so
//   gᵀA⁻¹g = s⁻²·Σ_{j≤j'} T_j·T_j'·Σ_k c_{jj'k}·s^k,
// a polynomial in s for each of the 21 products T_j·T_j', of degree
// 2·(terms − 1): the powers e_i + e_i' + 2 of two terms run from 0 to
// 2·(terms − 1).  Its coefficients are formed once from A⁻¹; a reflection
// then costs 21 products and 21·(2·terms − 1) multiply-adds (the sums of
// the powers side by side, in vectors), about 170 for the cubic fit instead
// of the 600 of gᵀA⁻¹g in full.
class ScaleVariance {
public:
    ScaleVariance(const NormalEquations& factor, const core::FitResult& fit, const ScaleModel& model);

    // The variance of S for χ²/(n − p) = 1.
    double unit_variance(const Geometry& g) const {
        switch (powers_) {
            case 7: return unit_variance<8>(g);
            case 5: return unit_variance<6>(g);
            case 3: return unit_variance<4>(g);
            default: return unit_variance<2>(g);
        }
    }

private:
    static constexpr std::size_t kMaxPowers = 8;  // 2·4 − 1, and one more for pairs of vector lanes

    // The sum of each power of s in its own lane, two lanes to a vector;
    // `Lanes` the powers of the model rounded up to an even number.
    template <std::size_t Lanes>
    double unit_variance(const Geometry& g) const {
        std::array<DoublePair, Lanes / 2> sum{};
        const std::array<double, kComponentPairs> tt = pair_products(g.t);
#pragma GCC unroll 21
        for (std::size_t pair = 0; pair < kComponentPairs; ++pair) {
            const DoublePair tt2 = {tt[pair], tt[pair]};
            for (std::size_t k = 0; k < Lanes / 2; ++k) sum[k] += coefficients_[pair][k] * tt2;
        }
        const double s = g.sin2;
        double poly = 0.0;
        for (std::size_t k = powers_; k-- > 0;) poly = poly * s + sum[k / 2][k % 2];
        return lambda_fourth_ * poly / (s * s);
    }

    std::size_t powers_;  // 2·terms − 1
    std::array<std::array<DoublePair, kMaxPowers / 2>, kComponentPairs> coefficients_{};
    double lambda_fourth_;
};

// σ(S)/S over a set of reflections: its median and its largest value, for
// χ²/(n − p) = 1 until `scaled` applies the factor.  The values are counted
// in bins of equal width in log σ/S, 64 to the octave over 2⁻⁴⁰ to 2⁴⁰ (the
// octave from the exponent of the double, the bin from the top six bits of
// its mantissa), so the median is known to within half a bin, 0.8 %, in
// constant memory.
class RelativeUncertainty {
public:
    RelativeUncertainty();
    // A reflection with the variance of its S for χ²/(n − p) = 1.  One
    // without a positive S or a finite variance counts apart.
    void add(double unit_variance, double s) {
        const double relative = std::sqrt(unit_variance) / s;
        if (!(relative >= 0.0 && relative <= std::numeric_limits<double>::max())) {
            ++undetermined_;
            return;
        }
        if (relative > largest_) largest_ = relative;
        ++bins_[bin(relative)];
        ++count_;
    }
    long count() const { return count_; }
    long undetermined() const { return undetermined_; }

    struct Figures {
        double median = 0.0, largest = 0.0;
    };
    // With the factor χ²/(n − p); NaN for no reflection.
    Figures scaled(double variance_factor) const;

private:
    static constexpr int kPerOctave = 64, kOctaves = 80;
    static std::size_t bin(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const long octave = static_cast<long>(bits >> 52) - 1023 + kOctaves / 2;
        const long step = static_cast<long>((bits >> 46) & (kPerOctave - 1));
        return static_cast<std::size_t>(std::clamp(octave * kPerOctave + step, 0L, long{kPerOctave * kOctaves - 1}));
    }
    std::vector<long> bins_;
    double largest_ = 0.0;
    long count_ = 0, undetermined_ = 0;
};

}  // namespace velor::model
