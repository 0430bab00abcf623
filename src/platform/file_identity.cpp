#include "platform/file_identity.hpp"

#ifdef _WIN32
#include "platform/windows_names.hpp"
#else
#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#endif

namespace velor::platform {

#ifdef _WIN32

FileKey file_key(const std::string& name) {
    FileKey key;
    const std::wstring path = windows::native(name);
    // No access asked for: only the file's information is read.  Backup
    // semantics open a folder too.
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION information{};
        key.exists = GetFileInformationByHandle(handle, &information) != 0;
        key.volume = information.dwVolumeSerialNumber;
        key.index = std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
        CloseHandle(handle);
    }
    // The full path, in upper case, as UTF-8.
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(size < full.size() ? size : 0);
    if (full.empty()) full = path;
    const int length = static_cast<int>(full.size());
    std::wstring upper(full.size(), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full.data(), length, upper.data(), length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, upper.data(), length, nullptr, 0, nullptr, nullptr);
    key.path.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, upper.data(), length, key.path.data(), bytes, nullptr, nullptr);
    return key;
}

#else

FileKey file_key(const std::string& name) {
    FileKey key;
    struct stat status {};
    if (::stat(name.c_str(), &status) == 0) {  // through any links
        key.exists = true;
        key.volume = static_cast<std::uint64_t>(status.st_dev);
        key.index = static_cast<std::uint64_t>(status.st_ino);
    }
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(name, error), error);
    if (error) path = fs::absolute(name, error).lexically_normal();
    key.path = path.string();
    return key;
}

#endif

bool same_file(const FileKey& a, const FileKey& b) {
    if (a.exists && b.exists) return a.volume == b.volume && a.index == b.index;
    // A name that leads to nothing may still spell the path of a file that
    // exists, through a folder that does not ("nowhere/../g.fcf").
    return a.path == b.path;
}

}  // namespace velor::platform
