// The report page: one self-contained file that shows what a run did and
// draws the correction, readable without scripts, on paper and on a phone.
#pragma once

#include <string>

#include "report/summary.hpp"

namespace velor::report {

// Polyglot XHTML (an HTML page that is also well-formed XML), UTF-8, with
// the plots as inline SVG.  The same summary gives the same bytes.
std::string html_page(const Summary& summary);

}  // namespace velor::report
