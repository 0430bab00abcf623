// How the program fails, in two layers.
//
// A call to the system (this folder's functions) returns a Failure: none
// when the call did what it was asked, otherwise the kind of failure, for a
// caller that acts on it (a file that is not there, a name already taken),
// and the system's own words for it, for the message.
//
// A run that cannot go on throws a stop where the reason is found: the
// stop is caught once, in the driver, which shows the reason and ends the
// program with the stop's exit status, so that every open output file is
// cleaned up on the way out.  (A read or write that fails is the fatal
// record error of src/textio, with the file and line it happened at.)
#pragma once

#include <charconv>
#include <concepts>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velor {

// ------------------------------------------------------------ exit statuses

inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;      // the run could not be done, for a reason it names
inline constexpr int kExitRecordError = 2;  // unreadable input, or a read or write that failed
inline constexpr int kExitUsage = 2;        // a command line that cannot be run

// -------------------------------------------------------------------- stops

// The run stops for a reason it names (or has already shown on the
// console, as the missing-file stop does).
class RunStop : public std::runtime_error {
public:
    explicit RunStop(std::string message, int exit_status = kExitStopped)
        : std::runtime_error(std::move(message)), exit_status_(exit_status) {}
    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

// The missing-file stop: the console has shown which file is missing.  The
// hints, if any, say how the name given may have led to the wrong file.
class MissingFileStop : public RunStop {
public:
    explicit MissingFileStop(std::vector<std::string> hints = {}) : RunStop(""), hints_(std::move(hints)) {}
    const std::vector<std::string>& hints() const { return hints_; }

private:
    std::vector<std::string> hints_;
};

// A command line that cannot be run: an unknown option, a value that is
// missing or refused, a summary file that would replace a file of the run.
class UsageError : public RunStop {
public:
    explicit UsageError(std::string message) : RunStop(std::move(message), kExitUsage) {}
};

namespace detail {

inline void append(std::string& text, std::string_view piece) { text += piece; }
inline void append(std::string& text, char piece) { text += piece; }
template <std::integral Number>
    requires(!std::same_as<Number, char> && !std::same_as<Number, bool>)
void append(std::string& text, Number piece) {
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, piece).ptr);
}

}  // namespace detail

// The pieces end to end: texts as they are, whole numbers in decimal.
// Numbers with decimals are formatted by their caller, who knows how many.
template <class... Pieces>
std::string message(const Pieces&... pieces) {
    std::string text;
    (detail::append(text, pieces), ...);
    return text;
}

// Ends the run for the reason its pieces give (exit status 1).
template <class... Pieces>
[[noreturn]] void stop(const Pieces&... pieces) {
    throw RunStop(message(pieces...));
}

}  // namespace velor

namespace velor::platform {

// ------------------------------------------------------- calls to the system

struct Failure {
    enum class Kind {
        none,
        no_such_file,  // the name, or a folder on its path, is not there
        exists,        // a file of the name is there already
        denied,        // the system refuses the permission
        not_regular,   // a folder, FIFO, socket or device, where a regular file was wanted
        other,
    };
    Kind kind = Kind::none;
    // The system's words for it, or for not_regular what the name is
    // instead: "a folder", "a FIFO".
    std::string text;

    // Of an errno value: its kind, and strerror's words.
    static Failure of_error_number(int error_number);

    explicit operator bool() const { return kind != Kind::none; }  // true when the call failed
};

}  // namespace velor::platform
