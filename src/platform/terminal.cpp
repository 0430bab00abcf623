#include "platform/terminal.hpp"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace velor::platform {

#ifdef _WIN32

// _isatty is true for every character device, NUL included; only a console
// has a console mode.
bool is_terminal(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

#else

bool is_terminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

#endif

}  // namespace velor::platform
