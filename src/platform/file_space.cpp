#include "platform/file_space.hpp"

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velor::platform {

#ifdef __linux__

Failure reserve_space(std::FILE* file, std::uint64_t bytes) {
    if (::fallocate(::fileno(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes)) != 0)
        return Failure::of_error_number(errno);
    return {};
}

Failure release_space_past(std::FILE* file, std::uint64_t length) {
    if (::ftruncate(::fileno(file), static_cast<off_t>(length)) != 0) return Failure::of_error_number(errno);
    return {};
}

#else

Failure reserve_space(std::FILE*, std::uint64_t) { return {Failure::Kind::other, "not done on this system"}; }

Failure release_space_past(std::FILE*, std::uint64_t) { return {}; }

#endif

}  // namespace velor::platform
