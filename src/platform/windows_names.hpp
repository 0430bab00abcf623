// Shared by the Windows side of this folder: file names as the
// wide-character calls take them, and the system's text for an error.
#pragma once

#ifdef _WIN32
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace velor::platform::windows {

// The name in the ANSI code page, widened; a name whose full form reaches
// MAX_PATH gets the "\\?\" prefix (files.cpp tells why).
std::wstring native(const std::string& name);

// The system's text for an error, as strerror gives one: one line, no
// full stop.
std::string system_text(DWORD error);

}  // namespace velor::platform::windows
#endif
