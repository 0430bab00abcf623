// The summary of a finished run, from the run record and the second pass's
// measurements.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "driver/run_record.hpp"
#include "model/diagnostics.hpp"
#include "report/summary.hpp"

namespace velor::driver {

report::Summary summarise(const RunRecord& record, const model::Diagnostics& diagnostics,
                          const std::vector<std::string>& warnings, std::string_view version);

}  // namespace velor::driver
