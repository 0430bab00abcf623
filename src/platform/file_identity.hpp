// Whether two names lead to one file.  A name that leads to an existing
// file is known by the file's identity (device and inode; on Windows the
// volume serial number and file index), so that symbolic and hard links
// and every spelling of its path are caught; every name is also known by
// its absolute path, with "." and ".." and the links of its existing folders
// resolved, which is what a name that leads to nothing yet is compared by.
#pragma once

#include <cstdint>
#include <string>

namespace velor::platform {

struct FileKey {
    bool exists = false;
    std::uint64_t volume = 0, index = 0;  // of an existing file
    std::string path;                     // the normalised absolute path
};

FileKey file_key(const std::string& name);

// Both exist and are one file, or not both exist and the paths are one
// (on Windows without regard to case, as its file systems compare names).
bool same_file(const FileKey& a, const FileKey& b);

}  // namespace velor::platform
