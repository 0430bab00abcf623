// Which reflections take part in the fit.  A reflection is fitted only when
// it passes every test; the others are still corrected.
#pragma once

#include <array>
#include <cmath>

#include "core/crystal_data.hpp"
#include "core/reflection.hpp"
#include "core/run_parameters.hpp"

namespace velor::model {

// The tests, as bits of the mask `Screening::failed_tests` returns.
enum ScreeningTest : unsigned {
    kWeak = 1u << 0,          // Fo² < OMIT·σ(Fo²)
    kNoSigma = 1u << 1,       // σ(Fo²) ≤ 0: infinite weight, or no measurement
    kBelowSinMin = 1u << 2,   // sin θ below the low-angle cut-off
    kAboveSinMax = 1u << 3,   // sin θ above the high-angle cut-off
    kExtinction = 1u << 4,    // low angle and Fo² < ratio·Fc²: weakened by extinction
    kAboveCeiling = 1u << 5,  // Fo²/E > fraction·F(000)²: more than any crystal can give
    kNoFc = 1u << 6,          // Fc² not a finite number
};
inline constexpr int kScreeningTests = 7;
// Not a test but a mark on kAboveSinMax: sin θ > 1, where no reflection can
// lie.  The high-angle cut-off is at most 1, so every such reflection is
// above it, and the common case pays nothing for the mark.
inline constexpr unsigned kBeyondSinThetaOne = 1u << kScreeningTests;

class Screening {
public:
    Screening(const core::CrystalData& crystal, const core::RunParameters& parameters);

    // The verdict on a reflection: the tests it fails, 0 when it is fitted.
    // Each test is written so that a value that is not a number fails it.
    unsigned failed_tests(const core::Reflection& r, double sin2) const {
        const double fo2 = r.fo2, fc2 = r.fc2;
        unsigned failed = 0;
        if (!(fo2 >= omit_ * static_cast<double>(r.sigma))) failed |= kWeak;
        if (!(r.sigma > 0.0f)) failed |= kNoSigma;
        if (!(sin2 >= sin_min_sq_)) failed |= kBelowSinMin;
        if (!(sin2 <= sin_max_sq_)) failed |= sin2 > 1.0 ? kAboveSinMax | kBeyondSinThetaOne : kAboveSinMax;
        if (!std::isfinite(fc2)) failed |= kNoFc;
        // Strong low-angle reflections weakened by extinction are left out.
        if (sin2 <= extinction_limit_sq_ && !(fo2 >= ratio_ * fc2)) failed |= kExtinction;
        if (above_ceiling(fo2, sin2)) failed |= kAboveCeiling;
        return failed;
    }
    // Accepted: no test failed.
    bool accepts(const core::Reflection& r, double sin2) const { return failed_tests(r, sin2) == 0; }

private:
    // Intensities that no crystal with this F(000) can give, even after the
    // temperature factor E = exp(-16π²U sin²θ/λ²) is taken out, are left
    // out.  Since E ≤ 1, and E ≥ 1 − x for x = 16π²U sin²θ/λ², most
    // reflections are decided without the exponential; only those near the
    // ceiling need it.
    bool above_ceiling(double fo2, double sin2) const {
        // Far more than the few units in the last place by which the
        // rounding of x and of the product can move the bound: within it
        // the exponential decides.
        constexpr double kBoundMargin = 1e-12;
        if (fo2 > ceiling_) return true;
        const double x = temperature_ * sin2 / lambda_sq_;
        if (x < 1.0 && fo2 <= ceiling_ * (1.0 - x) * (1.0 - kBoundMargin)) return false;
        return above_ceiling_exactly(fo2, sin2);
    }
    bool above_ceiling_exactly(double fo2, double sin2) const;
    double extinction_limit_sq_, ratio_, sin_min_sq_, sin_max_sq_, omit_, ceiling_, temperature_, lambda_sq_;
};

// The rejected reflections, counted by the set of tests they failed (one
// increment per reflection), with the mark kBeyondSinThetaOne; `by_test`
// and `total` sum them up.
class Rejections {
public:
    void add(unsigned failed) { ++by_mask_[failed]; }
    // How many failed test t (a reflection that fails several counts under each).
    long by_test(unsigned test) const;
    long total() const;

private:
    std::array<long, 2u * kBeyondSinThetaOne> by_mask_{};
};

}  // namespace velor::model
