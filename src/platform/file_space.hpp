// Disk space set aside for a file before it is written.  A large output
// file whose blocks are allocated while it is written makes the rename
// that puts it in place wait for the allocation to finish; set aside at
// once, the rename takes a few milliseconds.  Only a hint: where the system
// cannot, the file grows as it is written.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/failure.hpp"

namespace velor::platform {

// Sets aside `bytes` for the open file without changing its size; a
// failure where that is not done.
Failure reserve_space(std::FILE* file, std::uint64_t bytes);

// Gives back what was set aside past `length` bytes, the file's text.
Failure release_space_past(std::FILE* file, std::uint64_t length);

}  // namespace velor::platform
