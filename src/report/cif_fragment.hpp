// The absorption-correction items of the publication CIF.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace velor::report {

// A CIF 1.1 fragment (data items only, no data block) to paste into the
// CIF of the structure; lines end in LF.
std::string cif_fragment(const Summary& summary);

}  // namespace velor::report
