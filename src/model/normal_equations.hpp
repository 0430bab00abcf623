// The normal equations of the weighted least-squares fit of S·Fc² to Fo²,
// built in one streaming pass over the reflection list.
#pragma once

#include <array>

#include "core/fit_result.hpp"
#include "core/reflection.hpp"
#include "model/geometry.hpp"
#include "model/scale_model.hpp"
#include "model/screening.hpp"

namespace velor::model {

struct NormalEquations {
    // A(p, q) = Σ w·λ⁴·Fc⁴·g_p·g_q and B(p) = Σ w·λ²·Fo²·Fc²·g_p over the
    // accepted reflections, g the reflection's basis vector in the scale
    // model and w = 1/σ²(Fo²).  A is symmetric; only its diagonal and upper
    // triangle (q ≥ p) are summed, since the solver reads nothing else and
    // writes its factor into the lower triangle.
    std::array<std::array<double, core::kMaxParameters>, core::kMaxParameters> a{};
    std::array<double, core::kMaxParameters> b{};
    long accepted = 0;  // reflections that passed the screening
};

namespace kernels {
struct Factors;
using Update = void (*)(NormalEquations&, const Factors&);
}  // namespace kernels

// Adds one accepted reflection to the normal equations of the model's fit,
// with the vector update given (normal_equations_kernels.hpp), or with the
// baseline code for nullptr.
void add_reflection(NormalEquations& eq, const ScaleModel& model, const core::Reflection& r, const Geometry& g,
                    kernels::Update update);

// The first pass, one reflection at a time: its geometry, the screening,
// and for an accepted reflection its share of the normal equations of the
// model's fit, with the update that suits the processor.
class NormalEquationsBuilder {
public:
    NormalEquationsBuilder(const ScaleModel& model, const ReciprocalCell& rc, const Screening& screening);
    // Adds a reflection; returns its sin²θ.
    double add(const core::Reflection& r) {
        const Geometry g = geometry(r);
        add(r, g, screening_.failed_tests(r, g.sin2));
        return g.sin2;
    }
    // The same in two steps, which may run on different threads: the
    // reflection's geometry and the tests it fails, then its share.
    Geometry geometry(const core::Reflection& r) const { return geometry_(r.h, r.k, r.l); }
    void add(const core::Reflection& r, const Geometry& g, unsigned failed) {
        if (failed != 0) rejections_.add(failed);
        else add_reflection(equations_, model_, r, g, update_);
    }
    const Screening& screening() const { return screening_; }
    const NormalEquations& equations() const { return equations_; }
    const Rejections& rejections() const { return rejections_; }

private:
    GeometryOfReflections geometry_;
    ScaleModel model_;
    Screening screening_;
    NormalEquations equations_;
    Rejections rejections_;
    kernels::Update update_;
};

}  // namespace velor::model
