// The summary of a finished run, from the values of its stages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/stages.hpp"
#include "report/summary.hpp"

namespace velor::driver {

// The figures that say whether to believe the correction, from the
// measurements of a run that asked for a summary.
model::TrustFigures trust_of_run(const RunInputs& in, const FirstPass& first, const Fit& fit,
                                 const Correction& correction);

// `correction` with the measurements of a run that asked for a summary.
report::Summary summarise(const RunInputs& in, const FirstPass& first, const Fit& fit, const Correction& correction,
                          model::TrustFigures trust, const std::vector<std::string>& warnings,
                          std::string_view version);

}  // namespace velor::driver
