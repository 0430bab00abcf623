#include "platform/files.hpp"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/windows_names.hpp"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velor::platform {

#ifdef _WIN32

namespace windows {
namespace {

std::wstring widen(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

// The name as the wide-character calls take it.  A path whose full form
// reaches MAX_PATH gets the "\\?\" prefix, which lifts the limit to 32767
// characters on every Windows (unlike a longPathAware manifest, which
// needs a registry setting as well).  Such a path is not parsed any more,
// so it is made absolute, with '\' only and no "." or "..", first.
// Shorter names stay as given, so that device names such as NUL work.
std::wstring native(const std::string& name) {
    std::wstring wide = widen(name);
    if (wide.empty() || wide.rfind(LR"(\\?\)", 0) == 0) return wide;
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (size == 0 || size >= full.size()) return wide;
    full.resize(size);
    if (full.size() < MAX_PATH - 1) return wide;
    if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);  // \\server\share
    return LR"(\\?\)" + full;
}

std::string system_text(DWORD error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 ? std::string(text, length) : "Windows error " + std::to_string(error);
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' ||
                               result.back() == '.'))
        result.pop_back();
    return result;
}

}  // namespace windows

namespace {

using windows::native;
using windows::system_text;

std::FILE* stream_of(HANDLE handle, int flags, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, mode);
    if (file == nullptr) _close(fd);
    return file;
}

bool mark_for_deletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

}  // namespace

void prepare_standard_streams() { _setmode(_fileno(stdout), _O_BINARY); }

OpenedFile open_for_reading(const std::string& name) {
    const std::wstring path = native(name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {nullptr, {Failure::Kind::not_regular, "a folder"}};
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return {nullptr, Failure::of_error_number(errno)};
    // NUL, CON, COM1 and pipes open like files; only a disk file is read.
    const DWORD type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
    if (type != FILE_TYPE_DISK) {
        std::fclose(file);
        return {nullptr, {Failure::Kind::not_regular, type == FILE_TYPE_PIPE ? "a pipe" : "a device"}};
    }
    return {file, {}};
}

OpenedFile create_new_file(const std::string& name) {
    const HANDLE handle = CreateFileW(native(name).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const Failure::Kind kind = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Failure::Kind::exists
                                   : error == ERROR_ACCESS_DENIED                             ? Failure::Kind::denied
                                                                                              : Failure::Kind::other;
        return {nullptr, {kind, system_text(error)}};
    }
    if (!mark_for_deletion(handle, true)) {
        Failure failure{Failure::Kind::other, system_text(GetLastError())};
        CloseHandle(handle);
        DeleteFileW(native(name).c_str());
        return {nullptr, std::move(failure)};
    }
    std::FILE* file = stream_of(handle, _O_WRONLY | _O_BINARY, "wb");
    if (file == nullptr) return {nullptr, {Failure::Kind::other, std::strerror(errno)}};
    return {file, {}};
}

Failure flush_to_disk(std::FILE* file) {
    if (std::fflush(file) != 0) return Failure::of_error_number(errno);
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return FlushFileBuffers(handle) ? Failure() : Failure::of_error_number(EIO);
}

// MoveFileEx renames through the file system's journal; there is no folder
// to flush.
Failure flush_folder(const std::string&) { return {}; }

Failure close_kept_file(std::FILE* file) {
    std::fflush(file);
    const bool kept = mark_for_deletion(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), false);
    if (std::fclose(file) != 0) return Failure::of_error_number(errno);
    return kept ? Failure() : Failure::of_error_number(EIO);
}

Failure replace_file(const std::string& from, const std::string& to) {
    if (MoveFileExW(native(from).c_str(), native(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return {Failure::Kind::other, system_text(GetLastError())};
}

Failure check_replaceable(const std::string& name) {
    const std::wstring path = native(name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {Failure::Kind::not_regular, "Is a directory"};
    if (attributes & FILE_ATTRIBUTE_READONLY) return {Failure::Kind::denied, system_text(ERROR_ACCESS_DENIED)};
    // Replacing needs the right to delete the file, which a program that
    // holds it open without FILE_SHARE_DELETE withholds: ask for it now,
    // before any file of the run is renamed.
    const HANDLE handle = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return {Failure::Kind::other, system_text(error)};
    }
    CloseHandle(handle);
    return {};
}

Failure remove_file(const std::string& name) {
    if (DeleteFileW(native(name).c_str())) return {};
    return {Failure::Kind::other, system_text(GetLastError())};
}

std::size_t folder_length(std::string_view path) {
    const std::size_t end = path.find_last_of("/\\:");
    return end == std::string_view::npos ? 0 : end + 1;
}

#else

void prepare_standard_streams() {}

namespace {

const char* kind_of(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "a device";
}

}  // namespace

OpenedFile open_for_reading(const std::string& name) {
    // Looked at before it is opened: opening a device may do something,
    // and opening a FIFO waits for a program to write to it.  Opened without
    // waiting all the same, in case the name was replaced meanwhile.
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) return {nullptr, Failure::of_error_number(errno)};
    if (!S_ISREG(status.st_mode)) return {nullptr, {Failure::Kind::not_regular, kind_of(status.st_mode)}};
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {nullptr, Failure::of_error_number(errno)};
    if (::fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
        ::close(fd);
        return {nullptr, {Failure::Kind::not_regular, kind_of(status.st_mode)}};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        Failure failure = Failure::of_error_number(errno);
        ::close(fd);
        return {nullptr, std::move(failure)};
    }
    return {file, {}};
}

OpenedFile create_new_file(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "wbx");  // x: never opens a file that exists
    if (file == nullptr) return {nullptr, Failure::of_error_number(errno)};
    return {file, {}};
}

Failure flush_to_disk(std::FILE* file) {
    if (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) return Failure::of_error_number(errno);
    return {};
}

Failure flush_folder(const std::string& name) {
    const std::size_t length = folder_length(name);
    const std::string folder = length == 0 ? "." : name.substr(0, length);
    // A folder that cannot be read cannot be opened to be flushed either;
    // its entries reach the disk in the system's own time.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    // EINVAL: a file system that keeps no folders to flush.
    Failure failure;
    if (::fsync(fd) != 0 && errno != EINVAL) failure = Failure::of_error_number(errno);
    ::close(fd);
    return failure;
}

Failure close_kept_file(std::FILE* file) {
    if (std::fclose(file) != 0) return Failure::of_error_number(errno);
    return {};
}

Failure replace_file(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return Failure::of_error_number(errno);
    return {};
}

Failure check_replaceable(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return {Failure::Kind::not_regular, "Is a directory"};
    return {};
}

Failure remove_file(const std::string& name) {
    if (::unlink(name.c_str()) != 0) return Failure::of_error_number(errno);
    return {};
}

std::size_t folder_length(std::string_view path) {
    const std::size_t end = path.rfind('/');
    return end == std::string_view::npos ? 0 : end + 1;
}

#endif

}  // namespace velor::platform
