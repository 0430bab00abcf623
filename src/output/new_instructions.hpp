// The instruction file for the next refinement against the corrected data.
#pragma once

#include <string>
#include <string_view>

#include "textio/output_channel.hpp"

namespace velor::output {

// One line of NAME.res (80 columns) as it goes into NAMEx.ins: "MERG 0" and
// EXTI become remarks (the corrected data must not be merged again, and the
// correction has taken care of extinction), HKLF becomes plain "HKLF 4".
std::string edit_instruction_line(std::string_view line80);

// Whether the copy ends after this (edited) line: END alone or END and a blank.
bool is_end_line(std::string_view line80);

// Copies NAME.res up to and including its END line into NAMEx.ins, every
// line 80 columns wide.  NAMEx.ins replaces an earlier file only when it is
// complete.
void newins(const std::string& res_name, const std::string& ins_name, textio::OutputChannel& console);

}  // namespace velor::output
