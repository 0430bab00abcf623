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

#include "platform/failure.hpp"

namespace velor::platform {

// Called first in main.  Records end in CR LF already, so on Windows
// standard output is switched to binary mode (text mode would write
// CR CR LF).  Standard input stays in text mode there, which reads CR LF
// as LF; the keyboard channel takes either anyway.
void prepare_standard_streams();

// A file opened by open_for_reading or create_new_file: `file`, open in
// binary mode, or nullptr with the failure.
struct OpenedFile {
    std::FILE* file = nullptr;
    Failure failure;
};

// Opens an existing regular file for reading.  Anything else is refused
// before it is opened for reading (a not_regular failure that says what the
// name is instead, "a folder", "a FIFO", "a device"), so that a FIFO never
// makes the program wait for a writer, and a device never sends it data
// without end.  A name that leads to nothing is a no_such_file failure.
OpenedFile open_for_reading(const std::string& name);

// Creates `name` for writing only if nothing of that name exists (an
// `exists` failure: try another name).  On Windows the file is marked for
// deletion when its last handle closes, so that it goes away however the
// process ends, killed included, until close_kept_file takes the mark off;
// other programs may read it, and delete it (which lets an interruption
// remove it while it is open).
OpenedFile create_new_file(const std::string& name);

// Forces what was written to an open file out to the disk (fsync;
// FlushFileBuffers on Windows), so that a power loss after a rename that
// puts it in place cannot leave it empty.
Failure flush_to_disk(std::FILE* file);

// Forces the entries of the folder that holds `name`, renames into it
// included, out to the disk (POSIX; on Windows a rename is journalled and
// there is nothing to do).
Failure flush_folder(const std::string& name);

// Closes a file of create_new_file for good: it stays.
Failure close_kept_file(std::FILE* file);

// Renames `from` onto `to`, replacing a file `to` in one step.
Failure replace_file(const std::string& from, const std::string& to);

// Whether replace_file could now replace `name` (or there is none), for
// what can be seen before renaming: a folder of that name ("Is a
// directory") and, on Windows, a file that another program holds open
// without letting it be deleted (a viewer of the file) or a read-only file.
Failure check_replaceable(const std::string& name);

// Removes a file.
Failure remove_file(const std::string& name);

// The length of the folder part of `path`, up to and including its last
// separator ('/'; on Windows also '\' and the ':' of a drive letter).
std::size_t folder_length(std::string_view path);

}  // namespace velor::platform
