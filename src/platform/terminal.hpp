// Whether a stream is shown to a person as it is written.
#pragma once

#include <cstdio>

namespace velor::platform {

// True when `stream` writes to a terminal (on Windows, a console window);
// false for a file, a pipe or a device such as /dev/null or NUL.
bool is_terminal(std::FILE* stream);

}  // namespace velor::platform
