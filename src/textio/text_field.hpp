// Fixed-length, blank-padded text fields: the 80 columns of a record.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textio/characters.hpp"

namespace velor::textio {

inline constexpr std::size_t kFieldWidth = 80;

// The text cut or blank-padded to `width` characters.
inline std::string make_field(std::string_view text, std::size_t width = kFieldWidth) {
    std::string field(text.substr(0, width));
    field.resize(width, ' ');
    return field;
}

// A file name as a field of a record that shows it: blank-padded to 80
// characters like every other field, but never cut, since paths longer than
// that are ordinary.
inline std::string name_field(std::string_view name) {
    std::string field(name);
    if (field.size() < kFieldWidth) field.resize(kFieldWidth, ' ');
    return field;
}

inline std::string_view trim_right(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// Whether a record begins with the keyword, in any letter case: a refinement
// program reads its instructions and data names so, and editors and older
// programs write them in lower case too.
inline bool has_keyword(std::string_view record, std::string_view keyword) {
    return record.size() >= keyword.size() && equals_ignoring_case(record.substr(0, keyword.size()), keyword);
}

inline bool is_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace velor::textio
