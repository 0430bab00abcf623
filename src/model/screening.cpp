#include "model/screening.hpp"

#include <algorithm>
#include <cmath>

#include "core/single_precision.hpp"
#include "model/portable_math.hpp"

namespace velor::model {
namespace {

double sq(float v) { return static_cast<double>(v) * static_cast<double>(v); }  // exact

}  // namespace

Screening::Screening(const core::CrystalData& crystal, const core::RunParameters& parameters)
    : extinction_limit_sq_(sq(parameters.extinction_limit)),
      ratio_(parameters.extinction_ratio),
      sin_min_sq_(sq(parameters.sin_theta_min)),
      // Never above 1, whatever the parameters say: a reflection beyond
      // sin θ = 1 is marked as such only when it fails this cut-off.
      sin_max_sq_(std::min(sq(parameters.sin_theta_max), 1.0)),
      omit_(parameters.omit),
      ceiling_(static_cast<double>(parameters.ceiling_fraction) * sq(crystal.f000)),
      // B = 8π²U, and the intensity falls off as exp(-2B sin²θ/λ²) =
      // exp(-16π²U sin²θ/λ²).
      temperature_(static_cast<double>(core::single::kSixteenPiSquared) * static_cast<double>(crystal.u)),
      lambda_sq_(crystal.lambda_sq) {}

bool Screening::above_ceiling_exactly(double fo2, double sin2) const {
    const double e = portable::exp(-temperature_ * sin2 / lambda_sq_);
    return !(fo2 / e <= ceiling_);
}

long Rejections::by_test(unsigned test) const {
    long count = 0;
    for (unsigned mask = 0; mask < by_mask_.size(); ++mask)
        if (mask & test) count += by_mask_[mask];
    return count;
}

long Rejections::total() const {
    long count = 0;
    for (long n : by_mask_) count += n;
    return count;
}

}  // namespace velor::model
