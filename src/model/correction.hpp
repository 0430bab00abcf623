// The second pass: every reflection divided by its fitted scale factor.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/crystal_data.hpp"
#include "core/fit_result.hpp"
#include "core/reflection.hpp"
#include "core/single_precision.hpp"
#include "model/geometry.hpp"
#include "model/scale_model.hpp"

namespace velor::model {

// Reflections whose S is not a positive number: the model, extrapolated
// beyond the data it was fitted to, is no transmission there, and dividing
// by it would write negative or infinite intensities.
struct UnphysicalScale {
    long count = 0;
    double smallest = 0.0;  // the smallest such S, with its indices
    std::int32_t h = 0, k = 0, l = 0;
};

struct Statistics {
    double s_min = 1.0, s_max = 1.0;  // smallest and largest S, starting at 1
    // R = Σ|√|Fo²| − √|Fc²|| / Σ√|Fo²| before (b) and after (a) correction.
    double n_before = 0.0, d_before = 0.0, n_after = 0.0, d_after = 0.0;
    UnphysicalScale unphysical;
};

// The functions of the second pass are inline: they run for every
// reflection.

// The corrected record of one reflection, with its S, and its share of the
// statistics.  `z` is 1/OSF² in double precision, `z1` the same in single.
struct CorrectedReflection {
    double s = 0.0, fo2 = 0.0, sigma = 0.0;
};

inline CorrectedReflection correct(const core::Reflection& r, double s, double z) {
    return {s, static_cast<double>(r.fo2) / (z * s), static_cast<double>(r.sigma) / (z * s)};
}

void note_unphysical(UnphysicalScale& u, const core::Reflection& r, double s);

// One reflection's share of the four R-value sums.
struct RContribution {
    double n_before, d_before, n_after, d_after;
};

inline RContribution r_contribution(const core::Reflection& r, const CorrectedReflection& c, float z1) {
    // Before correction: the amplitudes on the refinement's scale, in single
    // precision; after it, the corrected one in double.
    const float root_fo2s = core::single::root_on_refinement_scale(r.fo2, z1);
    const float root_fc2s = core::single::root_on_refinement_scale(r.fc2, z1);
    const double root_fo2c = std::sqrt(std::fabs(c.fo2));
    return {static_cast<double>(std::fabs(root_fo2s - root_fc2s)), static_cast<double>(root_fo2s),
            std::fabs(root_fo2c - static_cast<double>(root_fc2s)), root_fo2c};
}

inline RContribution add_to_statistics(Statistics& st, const core::Reflection& r, const CorrectedReflection& c,
                                       float z1) {
    if (c.s < st.s_min) st.s_min = c.s;
    if (c.s > st.s_max) st.s_max = c.s;
    if (!(c.s > 0.0 && c.s <= std::numeric_limits<double>::max())) note_unphysical(st.unphysical, r, c.s);
    const RContribution rc = r_contribution(r, c, z1);
    st.n_after += rc.n_after;
    st.n_before += rc.n_before;
    st.d_after += rc.d_after;
    st.d_before += rc.d_before;
    return rc;
}

// The second pass, one reflection at a time: its geometry and S from the
// fitted model, the corrected Fo² and σ, and its share of the statistics.
class Corrector {
public:
    Corrector(const core::CrystalData& crystal, const ScaleModel& model, const ReciprocalCell& rc,
              const core::FitResult& fit);
    CorrectedReflection apply(const core::Reflection& r) {
        const Geometry g = geometry_(r.h, r.k, r.l);
        const CorrectedReflection c = correct(r, model_.evaluate(g, x_), z_);
        add_to_statistics(statistics_, r, c, z1_);
        return c;
    }
    // The same, handing out the reflection's geometry and its share of the
    // R sums.
    CorrectedReflection apply(const core::Reflection& r, Geometry& g, RContribution& rc) {
        g = geometry_(r.h, r.k, r.l);
        const CorrectedReflection c = correct(r, model_.evaluate(g, x_), z_);
        rc = add_to_statistics(statistics_, r, c, z1_);
        return c;
    }
    const Statistics& statistics() const { return statistics_; }

private:
    GeometryOfReflections geometry_;
    ScaleModel model_;
    const core::Coefficients& x_;
    double z_;  // 1/OSF², and the same rounded to single precision
    float z1_;
    Statistics statistics_;
};

}  // namespace velor::model
