#include "platform/file_space.hpp"

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velor::platform {

#ifdef __linux__

bool reserve_space(std::FILE* file, std::uint64_t bytes) {
    return ::fallocate(::fileno(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes)) == 0;
}

int release_space_past(std::FILE* file, std::uint64_t length) {
    return ::ftruncate(::fileno(file), static_cast<off_t>(length)) == 0 ? 0 : errno;
}

#else

bool reserve_space(std::FILE*, std::uint64_t) { return false; }

int release_space_past(std::FILE*, std::uint64_t) { return 0; }

#endif

}  // namespace velor::platform
