// A record of NAMEx.hkl: h, k, l, the corrected Fo² and σ(Fo²), and S.
#pragma once

#include <cstddef>

#include "core/reflection.hpp"
#include "model/correction.hpp"

namespace velor::output {

// Puts the corrected record, CR LF included, into `line` (40 characters):
// the same text as a write with the layout of NAMEx.hkl, (3I4, 2F8.2,
// F10.3), by field writers given its widths as constants; a corrected Fo²
// from 99999 on, too large for F8.2, is written in F8.0.  Returns the
// record's length.
std::size_t put_corrected_record(char* line, const core::Reflection& r, const model::CorrectedReflection& c);

}  // namespace velor::output
