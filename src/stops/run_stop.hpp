// How a run that cannot do its work ends, and the exit statuses of the
// program.  Stops are thrown where the reason is found and caught once, in
// the driver, so that every open output file is cleaned up on the way out.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace velor {

inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;      // the run could not be done, for a reason it names
inline constexpr int kExitRecordError = 2;  // unreadable input, a failed read or write, or a bad command line

// The run stops for a reason it names (or has already shown on the
// console, as the missing-file stop does); a command line that asks for
// what must not be done stops it with kExitRecordError.
class RunStop : public std::runtime_error {
public:
    explicit RunStop(std::string message, int exit_status = kExitStopped)
        : std::runtime_error(std::move(message)), exit_status_(exit_status) {}
    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

// The missing-file stop: the console has shown which file is missing.
class MissingFileStop : public RunStop {
public:
    MissingFileStop() : RunStop("") {}
};

// Ends the run for the reason given.
[[noreturn]] inline void stop_run(std::string message) { throw RunStop(std::move(message)); }

}  // namespace velor
