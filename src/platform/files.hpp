// Files and standard streams where the systems differ.  Every file name
// of the program is opened, created, renamed and removed through here: on
// Windows these take names in the ANSI code page, with drive letters, '\'
// or '/', and beyond the 260 characters of MAX_PATH; the POSIX side is
// the C library's own calls.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace velor::platform {

// Called first in main.  Records end in CR LF already, so on Windows
// standard output is switched to binary mode (text mode would write
// CR CR LF).  Standard input stays in text mode there, which reads CR LF
// as LF; the keyboard channel takes either anyway.
void prepare_standard_streams();

// A file opened by open_for_reading: `file` open for reading in binary
// mode, or nullptr with the errno value of the failure (ENOENT when there
// is no such file), or with what the name is instead of a regular file:
// "a folder", "a FIFO", "a device" and so on.
struct ReadFile {
    std::FILE* file = nullptr;
    int error = 0;
    const char* not_regular = nullptr;
};

// Opens an existing regular file for reading.  Anything else is refused
// before it is opened for reading, so that a FIFO never makes the program
// wait for a writer, and a device never sends it data without end.
ReadFile open_for_reading(const std::string& name);

// A file made by create_new_file: `file` open for writing in binary mode,
// or nullptr with `exists` (a file of that name is there: try another
// name), `denied` (the system refuses the permission) and the system's text
// for why not.
struct NewFile {
    std::FILE* file = nullptr;
    bool exists = false;
    bool denied = false;
    std::string error;
};

// Creates `name` only if nothing of that name exists.  On Windows the file
// is marked for deletion when its last handle closes, so that it goes
// away however the process ends, killed included, until close_kept_file
// takes the mark off; other programs may read it, and delete it (which
// lets an interruption remove it while it is open).
NewFile create_new_file(const std::string& name);

// Forces what was written to an open file out to the disk (fsync;
// FlushFileBuffers on Windows), so that a power loss after a rename that
// puts it in place cannot leave it empty.  0 or an errno value.
int flush_to_disk(std::FILE* file);

// Forces the entries of the folder that holds `name`, renames into it
// included, out to the disk (POSIX; on Windows a rename is journalled and
// there is nothing to do).  0 or an errno value.
int flush_folder(const std::string& name);

// Closes a file of create_new_file for good: it stays.  0 or an errno value.
int close_kept_file(std::FILE* file);

// Renames `from` onto `to`, replacing a file `to` in one step.  Empty when
// done, otherwise the system's text for why not.
std::string replace_file(const std::string& from, const std::string& to);

// Empty when replace_file could now replace `name` (or there is none);
// otherwise why not, for what can be seen before renaming: a folder of that
// name ("Is a directory") and, on Windows, a file that another program
// holds open without letting it be deleted (a viewer of the file) or a
// read-only file.
std::string why_not_replaceable(const std::string& name);

// Removes a file; false if it could not be.
bool remove_file(const std::string& name);

// The length of the folder part of `path`, up to and including its last
// separator ('/'; on Windows also '\' and the ':' of a drive letter).
std::size_t folder_length(std::string_view path);

}  // namespace velor::platform
