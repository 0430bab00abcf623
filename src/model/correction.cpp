#include "model/correction.hpp"

#include <cmath>
#include <limits>

namespace velor::model {

void note_unphysical(UnphysicalScale& u, const input::Reflection& r, double s) {
    // The smallest S; one that is not a number only until a number turns up.
    if (u.count++ == 0 || s < u.smallest || std::isnan(u.smallest)) {
        u.smallest = s;
        u.h = r.h;
        u.k = r.k;
        u.l = r.l;
    }
}

Corrector::Corrector(const input::CrystalData& crystal, int parameter_count, const ReciprocalCell& rc,
                     const Solution& solution)
    : geometry_(rc, crystal.lambda_sq),
      solution_(solution),
      parameter_count_(parameter_count),
      lambda_sq_(crystal.lambda_sq),
      z_(1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf))),
      z1_(static_cast<float>(z_)) {}

}  // namespace velor::model
