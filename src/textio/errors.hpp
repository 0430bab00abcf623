// The fatal record error: a read or write that cannot go on.  Thrown where
// it happens and caught once, in the driver.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace velor::textio {

// `location` names the channel (file and line); `message` ends with the
// error text, e.g. "Bad value during integer read" or "End of file".
class RecordError : public std::runtime_error {
public:
    RecordError(std::string location, std::string message)
        : std::runtime_error(message), location_(std::move(location)) {}
    const std::string& location() const { return location_; }

private:
    std::string location_;
};

}  // namespace velor::textio
