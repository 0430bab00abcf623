#include "platform/file_lock.hpp"

#ifdef _WIN32
#include "platform/windows_names.hpp"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velor::platform {

#ifdef _WIN32

namespace {

OVERLAPPED far_past_the_end() {
    OVERLAPPED at{};
    at.OffsetHigh = DWORD{1} << 30;  // 2^62
    return at;
}

}  // namespace

FileLock::FileLock(const std::string& name) {
    const HANDLE handle = CreateFileW(windows::native(name).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    OVERLAPPED at = far_past_the_end();
    locked_ = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
}

FileLock::~FileLock() {
    if (handle_ == -1) return;
    const auto handle = reinterpret_cast<HANDLE>(handle_);
    if (locked_) {
        OVERLAPPED at = far_past_the_end();
        UnlockFileEx(handle, 0, 1, 0, &at);
    }
    CloseHandle(handle);
}

#else

FileLock::FileLock(const std::string& name) {
    // Not blocking on the open: the name might have become a FIFO.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    handle_ = fd;
    int result;
    while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    locked_ = result == 0;
}

FileLock::~FileLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // and the lock with it
}

#endif

}  // namespace velor::platform
