// The instruction file for the next refinement against the corrected data.
#pragma once

#include <string>
#include <string_view>

#include "textio/output_channel.hpp"
#include "textio/output_file.hpp"

namespace velor::output {

// One line of NAME.res (80 columns) as it goes into NAMEx.ins: "MERG 0" and
// EXTI become remarks (the corrected data must not be merged again, and the
// correction has taken care of extinction), HKLF becomes plain "HKLF 4".
// Instruction names match in any letter case.
std::string edit_instruction_line(std::string_view line80);

// Whether the copy ends after this (edited) line: END alone or END and a blank.
bool is_end_line(std::string_view line80);

// Whether the line refines a twin: TWIN, BASF, or HKLF 5.
bool refines_twin(std::string_view line80);

// What the copy found out about the refinement.
struct InstructionNotes {
    bool twinned = false;  // NAMEx.ins keeps twin instructions that HKLF 4 data do not fit
};

// Copies NAME.res up to and including its END line into `ins` (NAMEx.ins),
// every line 80 columns wide, and closes it.
InstructionNotes newins(const std::string& res_name, textio::OutputFile& ins, textio::OutputChannel& console);

}  // namespace velor::output
