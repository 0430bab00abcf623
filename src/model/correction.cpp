#include "model/correction.hpp"

#include <cmath>
#include <limits>

namespace velor::model {

void note_unphysical(UnphysicalScale& u, const core::Reflection& r, double s) {
    // The smallest S; one that is not a number only until a number turns up.
    if (u.count++ == 0 || s < u.smallest || std::isnan(u.smallest)) {
        u.smallest = s;
        u.h = r.h;
        u.k = r.k;
        u.l = r.l;
    }
}

Corrector::Corrector(const core::CrystalData& crystal, const ScaleModel& model, const ReciprocalCell& rc,
                     const core::FitResult& fit)
    : geometry_(rc, crystal.lambda_sq),
      model_(model),
      x_(fit.x),
      z_(1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf))),
      z1_(core::single::inverse_osf_squared(z_)) {}

}  // namespace velor::model
