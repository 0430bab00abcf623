// The run summary as JSON, for the scripts and programs that call velor.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace velor::report {

// The version of the layout of the JSON summary; it grows when a field
// changes its meaning or goes away, not when one is added.
inline constexpr int kJsonSchema = 1;

// One JSON object, pretty-printed with two blanks, ending in a line end.
// Numbers read back to the same binary value; a number that is not one
// (an R-value of an empty list) is null.
std::string json_summary(const Summary& summary);

}  // namespace velor::report
