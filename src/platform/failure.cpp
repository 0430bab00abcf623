#include "platform/failure.hpp"

#include <cerrno>
#include <cstring>

namespace velor::platform {

Failure Failure::of_error_number(int error_number) {
    Kind kind = Kind::other;
    if (error_number == ENOENT || error_number == ENOTDIR) kind = Kind::no_such_file;
    else if (error_number == EEXIST) kind = Kind::exists;
    else if (error_number == EACCES || error_number == EPERM) kind = Kind::denied;
    return {kind, std::strerror(error_number)};
}

}  // namespace velor::platform
