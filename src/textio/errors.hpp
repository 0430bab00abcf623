// How a run ends early.  Both are thrown and caught once, in the driver,
// so that every open output file is cleaned up on the way out.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace velor::textio {

// A fatal record error: a read or write that cannot go on.  `location`
// names the channel (file and line); `message` ends with the error text,
// e.g. "Bad value during integer read" or "End of file".
class RecordError : public std::runtime_error {
public:
    RecordError(std::string location, std::string message)
        : std::runtime_error(message), location_(std::move(location)) {}
    const std::string& location() const { return location_; }

private:
    std::string location_;
};

// The run stops for a reason it names (or has already shown on the
// console, as the missing-file stop does).
class RunStop : public std::runtime_error {
public:
    RunStop(int exit_status, std::string message)
        : std::runtime_error(std::move(message)), exit_status_(exit_status) {}
    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitRecordError = 2;

}  // namespace velor::textio
