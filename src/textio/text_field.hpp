// Fixed-length, blank-padded text fields.  Lines and file names are 80
// characters; a file is opened by its name field without trailing blanks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velor::textio {

inline constexpr std::size_t kFieldWidth = 80;

// The text cut or blank-padded to `width` characters.
inline std::string make_field(std::string_view text, std::size_t width = kFieldWidth) {
    std::string field(text.substr(0, width));
    field.resize(width, ' ');
    return field;
}

inline std::string_view trim_right(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

inline bool is_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace velor::textio
