// The normal equations of the weighted least-squares fit of S·Fc² to Fo²,
// built in one streaming pass over the reflection list.
#pragma once

#include <array>

#include "input/crystal_data.hpp"
#include "input/reflection_reader.hpp"
#include "input/run_parameters.hpp"
#include "model/reciprocal_cell.hpp"
#include "model/screening.hpp"

namespace velor::model {

inline constexpr int kMaxParameters = 24;

struct NormalEquations {
    // A(p, q) = Σ w·λ⁴·Fc⁴·g_p·g_q and B(p) = Σ w·λ²·Fo²·Fc²·g_p over the
    // accepted reflections, w = 1/σ²(Fo²).  A is symmetric; only its
    // diagonal and upper triangle (q ≥ p) are summed, since the solver
    // reads nothing else and writes its factor into the lower triangle.
    std::array<std::array<double, kMaxParameters>, kMaxParameters> a{};
    std::array<double, kMaxParameters> b{};
    long accepted = 0;  // reflections that passed the screening
};

namespace kernels {
struct Factors;
using Update = void (*)(NormalEquations&, const Factors&);
}  // namespace kernels

// Adds one accepted reflection to the normal equations of a fit with
// `terms` polynomial terms (6·terms parameters), with the update that suits
// the processor, or with the vector update given (normal_equations_kernels.hpp;
// nullptr for the baseline code).
void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power);
void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power, kernels::Update update);

// The first pass, one reflection at a time: its geometry, the screening,
// and for an accepted reflection its share of the normal equations.
class NormalEquationsBuilder {
public:
    NormalEquationsBuilder(const input::CrystalData& crystal, const input::RunParameters& parameters,
                           const ReciprocalCell& rc, NormalEquations& equations);
    // Adds a reflection; returns its sin²θ.
    double add(const input::Reflection& r) {
        const Geometry g = geometry(r);
        add(r, g, screening_.failed_tests(r, g.sin2));
        return g.sin2;
    }
    // The same in two steps, which may run on different threads: the
    // reflection's geometry and the tests it fails, then its share.
    Geometry geometry(const input::Reflection& r) const { return geometry_(r.h, r.k, r.l); }
    void add(const input::Reflection& r, const Geometry& g, unsigned failed) {
        if (failed != 0) rejections_.add(failed);
        else add_reflection(equations_, r, g, lambda_sq_, parameters_.terms, parameters_.top_power, update_);
    }
    const Screening& screening() const { return screening_; }
    const Rejections& rejections() const { return rejections_; }

private:
    GeometryOfReflections geometry_;
    const input::RunParameters& parameters_;
    double lambda_sq_;
    Screening screening_;
    NormalEquations& equations_;
    Rejections rejections_;
    kernels::Update update_;
};

}  // namespace velor::model
