// The whole run on arbitrary refinement files.  The input is a NAME.res,
// then a line "%%FCF%%" and the NAME.fcf; optionally a further line
// "%%KBD%%" and what is typed at the keyboard (separator lines may end in
// LF or CR LF).  Without keyboard text the run is "fz L" with an empty
// keyboard; with it, "fz" and the dialogue.  Any exit status is fine: the
// run must only end, and end cleanly.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "driver/run.hpp"
#include "fuzz_support.hpp"

namespace {

constexpr std::string_view kFcfLine = "%%FCF%%";
constexpr std::string_view kKeyboardLine = "%%KBD%%";

// The text before the separator, and after it and its line end (nothing
// without a separator).
std::pair<std::string_view, std::string_view> split_at(std::string_view text, std::string_view separator) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) return {text, {}};
    std::string_view after = text.substr(at + separator.size());
    if (after.starts_with("\r\n")) after.remove_prefix(2);
    else if (after.starts_with('\n')) after.remove_prefix(1);
    return {text.substr(0, at), after};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // run() opens NAME.res and NAME.fcf and writes NAMEx.* in the current
    // folder.
    if (::chdir(velor::fuzz::scratch_folder()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto [res, rest] = split_at(input, kFcfLine);
    const auto [fcf, typed] = split_at(rest, kKeyboardLine);
    const bool dialogue = rest.find(kKeyboardLine) != std::string_view::npos;
    velor::fuzz::write_file("fz.res", res);
    velor::fuzz::write_file("fz.fcf", fcf);

    std::istringstream keyboard{std::string(typed)};
    std::ostringstream console, errors;
    velor::driver::CommandLine line;
    line.arguments = dialogue ? std::vector<std::string>{"fz", ""} : std::vector<std::string>{"fz", "L"};
    const int status = velor::driver::run(line, keyboard, console, errors);
    FUZZ_CHECK(status == 0 || status == 1 || status == 2);
    FUZZ_CHECK((status == 2) == (errors.str().find("fatal error") != std::string::npos));
    // A run ends early by a record error (with its location) or a stop;
    // any other exception that reaches the driver is a fault in the program.
    FUZZ_CHECK(errors.str().find("velor: fatal error\n") == std::string::npos);
    return 0;
}
