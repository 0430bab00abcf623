// An exclusive lock that every run writing the same set of files takes
// while it puts them in place, so that the set on disk always comes from
// one run.  The lock is on an existing file that all those runs share (the
// refinement's NAME.res) and leaves it as it is: flock on POSIX; on
// Windows, whose byte-range locks bind readers too, a lock on one byte far
// past the end of any file (offset 2^62), so that reading the file is
// never held up.  No lock file is made, and the system drops the lock when
// the process ends, however it ends.
#pragma once

#include <cstdint>
#include <string>

namespace velor::platform {

class FileLock {
public:
    // Waits for the lock.  Where the file cannot be opened (it went away
    // during the run) or its file system has no locks, nothing is locked.
    explicit FileLock(const std::string& name);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return locked_; }

private:
    std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
    bool locked_ = false;
};

}  // namespace velor::platform
