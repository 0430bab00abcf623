// One error type for the whole generator: a bad option, an impossible cell or
// an unwritable file. run() catches it once and turns it into a message.
#pragma once

#include <stdexcept>
#include <string>

namespace velor::gen {

class GenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void fail(const std::string& msg) { throw GenError(msg); }

}  // namespace velor::gen
