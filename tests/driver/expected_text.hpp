// Console text every run shows, typed from the documented layouts.
#pragma once

#include <string>

namespace velor::testing {

inline const std::string kBanner =
    "\r\n"
    " +----------------------------------------------------------------------------+\r\n"
    " |                                                                            |\r\n"
    " |               VELOR - A four-dimensional scale factor program              |\r\n"
    " |        (approximate treatment of anisotropic absorption/extinction)        |\r\n"
    " |                                                                            |\r\n"
    " |   Fo^2 divided by a scale model fitted to Fc^2 of the refined structure    |\r\n"
    " |                                                                            |\r\n"
    " +============================================================================+\r\n"
    "\r\n";

inline std::string blank_padded(const std::string& text, std::size_t width = 80) {
    return text + std::string(width - text.size(), ' ');
}

}  // namespace velor::testing
