// A record of NAMEx.hkl: h, k, l, the corrected Fo² and σ(Fo²), and S.
#pragma once

#include <cstddef>

#include "input/reflection_reader.hpp"
#include "model/correction.hpp"
#include "textio/layout.hpp"

namespace velor::output {

// The layout of a corrected record: F8.2 for Fo², or F8.0 from 99999 on.
const textio::Layout& corrected_record_layout(double fo2);

// Puts the corrected record, CR LF included, into `line` (40 characters):
// the same text as a write with its layout, by field writers given the
// widths of the layout as constants.  Returns its length.
std::size_t put_corrected_record(char* line, const input::Reflection& r, const model::CorrectedReflection& c);

}  // namespace velor::output
