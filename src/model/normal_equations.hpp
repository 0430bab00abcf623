// The normal equations of the weighted least-squares fit of S·Fc² to Fo²,
// built in one streaming pass over the reflection list.
#pragma once

#include <array>
#include <string>

#include "input/crystal_data.hpp"
#include "input/reflection_reader.hpp"
#include "input/run_parameters.hpp"
#include "model/reciprocal_cell.hpp"
#include "textio/output_channel.hpp"

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

// The screening limits of a run, formed once from the run parameters.
class Screening {
public:
    Screening(const input::CrystalData& crystal, const input::RunParameters& parameters);
    // The five tests (and σ > 0): true when the reflection is fitted.
    bool accepts(const input::Reflection& r, double sin2) const;

private:
    bool below_ceiling(double fo2, double sin2) const;
    double extinction_limit_sq_, ratio_, sin_min_sq_, sin_max_sq_, omit_, ceiling_, temperature_, lambda_sq_;
};

// Adds one accepted reflection to the normal equations of a fit with
// `terms` polynomial terms (6·terms parameters).
void add_reflection(NormalEquations& eq, const input::Reflection& r, const Geometry& g, double lambda_sq, int terms,
                    int top_power);

// Reads NAME.fcf and adds every reflection that passes the screening.
void bldnml(const std::string& fcf_name, const input::CrystalData& crystal, const input::RunParameters& parameters,
            const ReciprocalCell& rc, NormalEquations& eq, textio::OutputChannel& console);

}  // namespace velor::model
