// Everything a run found out, as one value: what the JSON summary, the CIF
// fragment and the HTML page are made from.  Filled by the driver at the end
// of a run; the writers only read it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/crystal_data.hpp"
#include "core/run_parameters.hpp"
#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "model/diagnostics.hpp"
#include "model/geometry.hpp"
#include "model/scale_model.hpp"
#include "model/screening.hpp"
#include "model/trust.hpp"

namespace velor::report {

// The tests of the screening, in the order the summary lists them, with
// the names the JSON summary uses and a line of text for the page.
struct ScreeningTestName {
    unsigned test;           // model::ScreeningTest bit
    const char* key;         // JSON key
    const char* description; // for people
};
inline constexpr std::array<ScreeningTestName, model::kScreeningTests> kScreeningTestNames{{
    {model::kWeak, "weak", "Fo2 < OMIT * sigma(Fo2)"},
    {model::kNoSigma, "sigma_not_positive", "sigma(Fo2) <= 0"},
    {model::kBelowSinMin, "below_sin_theta_min", "sin(theta) below the low-angle cut-off"},
    {model::kAboveSinMax, "above_sin_theta_max", "sin(theta) above the high-angle cut-off"},
    {model::kExtinction, "extinction", "low angle and Fo2 < 0.5 * Fc2 (extinction)"},
    {model::kAboveCeiling, "above_intensity_ceiling", "Fo2 / exp(-16 pi^2 U sin^2(theta)/lambda^2) > F(000)^2 / 4"},
    {model::kNoFc, "fc2_not_finite", "Fc2 not a finite number"},
}};

// A coefficient of the scale model: x_p with p = j + 6(i − 1), tensor
// component j (h², k², l², hk, hl, kl) times (sin²θ)^power.
struct Coefficient {
    int component = 0;  // 1..6
    int power = 0;      // of sin²θ: 2, 1, 0 or −1
    double value = 0.0;
    double esd = 0.0;   // standard uncertainty
};

inline constexpr std::array<const char*, 6> kComponentNames{"h2", "k2", "l2", "hk", "hl", "kl"};

struct Summary {
    std::string program = "velor";
    std::string version;

    input::FileNames names;  // the stem and the five names
    core::CrystalData crystal;
    core::RunParameters parameters;
    model::ReciprocalCell reciprocal;
    model::ScaleModel scale{model::ScaleModel::kMaxTerms, 0.0};  // the run's, of its fit type and λ²

    // Reflections read, accepted and rejected (by each test, and in all).
    long read = 0;
    long accepted = 0;
    std::array<long, model::kScreeningTests> rejected_by_test{};
    long rejected = 0;

    // The fit.
    std::vector<Coefficient> coefficients;  // in the order x_1..x_n
    double chi_squared = 0.0;
    double goodness_of_fit = 0.0;  // sqrt(χ²/(n − P))

    // The report's figures (S limits starting at 1) and the true extremes.
    model::Statistics statistics;
    double r_before = 0.0, r_after = 0.0;
    double s_smallest = 0.0, s_largest = 0.0;
    model::Miller s_smallest_at, s_largest_at;

    std::array<model::ResolutionShell, model::Diagnostics::kShells> shells{};
    std::vector<model::HistogramBin> histogram;
    std::vector<model::SamplePoint> sample;  // at most 5,000 reflections, every k-th of the list

    // Whether to believe the correction, and the fit type the advice
    // recommends (C, Q, L or F), if any.
    model::TrustFigures trust;
    std::optional<char> recommended_fit;

    std::vector<std::string> warnings;

    // Relative transmission factors for the CIF: the smallest S over the
    // largest, and 1.
    double t_min() const { return s_smallest / s_largest; }
    double t_max() const { return 1.0; }
    // The text of _exptl_absorpt_process_details.
    std::string process_details() const;
};

}  // namespace velor::report
