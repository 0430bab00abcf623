// While one run holds the lock, another waits for it; the locked file reads
// as before (Windows locks bind readers of the bytes they cover), and no
// lock file is made.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "platform/file_lock.hpp"
#include "support/process.hpp"

namespace velor::platform {
namespace {

// Whether another open of the file could take the lock now.
bool lock_free(const std::string& name) {
#ifdef _WIN32
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED at{};
    at.OffsetHigh = DWORD{1} << 30;
    const bool free = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
    CloseHandle(file);
#else
    const int file = ::open(name.c_str(), O_RDONLY);
    const bool free = ::flock(file, LOCK_EX | LOCK_NB) == 0;
    ::close(file);
#endif
    return free;
}

TEST(FileLock, HoldsOffOtherLocksButNotReaders) {
    const testing::ScratchFolder dir("lock");
    const std::string name = (dir / "g.res").string();
    testing::write_file(name, "TITL g\n");
    {
        const FileLock lock(name);
        EXPECT_TRUE(lock.locked());
        EXPECT_FALSE(lock_free(name));
        EXPECT_EQ(testing::read_file(name), "TITL g\n");
    }
    EXPECT_TRUE(lock_free(name));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"g.res"});
}

}  // namespace
}  // namespace velor::platform
