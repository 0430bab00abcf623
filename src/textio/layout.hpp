// Layouts: the column-by-column description of a text record, written as a
// parenthesised list of field descriptors such as "(3I4, 2F12.2, F10.2)".
// A layout is parsed once into a small value type; repeat counts are
// expanded at parse time so that reading and writing walk a flat list.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textio/characters.hpp"

namespace velor::textio {

enum class Edit { I, F, A, X, Dollar };

struct EditDescriptor {
    Edit kind = Edit::X;
    int width = 0;     // columns; 0 for a bare A (as wide as its text)
    int decimals = 0;  // F only

    friend constexpr bool operator==(const EditDescriptor&, const EditDescriptor&) = default;
};

class LayoutError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

struct Layout {
    static constexpr int kCapacity = 24;
    std::array<EditDescriptor, kCapacity> items{};
    int count = 0;

    constexpr const EditDescriptor* begin() const { return items.data(); }
    // Field `index` is `expected`: code that writes or reads a record with
    // its columns fixed when compiled checks them against the layout so.
    constexpr bool has_field(int index, EditDescriptor expected) const {
        return index < count && items[static_cast<std::size_t>(index)] == expected;
    }
    constexpr const EditDescriptor* end() const { return items.data() + count; }
};

namespace detail {

constexpr void skip_blanks(std::string_view s, std::size_t& i) {
    while (i < s.size() && s[i] == ' ') ++i;
}

// Reads an unsigned whole number; -1 if there is none.  Values are capped
// well below int overflow: no record is anywhere near that wide.
constexpr int read_count(std::string_view s, std::size_t& i) {
    skip_blanks(s, i);
    if (i >= s.size() || !is_digit(s[i])) return -1;
    long value = 0;
    while (i < s.size() && is_digit(s[i])) {
        value = value * 10 + (s[i] - '0');
        if (value > 100000) throw LayoutError("field width too large in layout");
        ++i;
        skip_blanks(s, i);  // blanks mean nothing, inside a number too
    }
    return static_cast<int>(value);
}

constexpr void append(Layout& layout, EditDescriptor d) {
    if (layout.count == Layout::kCapacity) throw LayoutError("too many fields in layout");
    layout.items[static_cast<std::size_t>(layout.count++)] = d;
}

}  // namespace detail

// Parses a layout string.  Blanks mean nothing; descriptors are separated by
// commas.  Throws LayoutError on anything malformed, which makes a constant
// layout with a typing error a compile-time error.
constexpr Layout parse_layout(std::string_view text) {
    using namespace detail;
    Layout layout;
    std::size_t i = 0;
    skip_blanks(text, i);
    if (i >= text.size() || text[i] != '(') throw LayoutError("layout must begin with '('");
    ++i;
    bool expect_item = true;
    for (;;) {
        skip_blanks(text, i);
        if (i >= text.size()) throw LayoutError("layout must end with ')'");
        const char c = text[i];
        if (c == ')') {
            if (expect_item && layout.count > 0) throw LayoutError("empty field in layout");
            ++i;
            break;
        }
        if (c == ',') {
            if (expect_item) throw LayoutError("empty field in layout");
            expect_item = true;
            ++i;
            continue;
        }
        if (c == '$') {  // may follow the previous field without a comma
            append(layout, {Edit::Dollar, 0, 0});
            expect_item = false;
            ++i;
            continue;
        }
        if (!expect_item) throw LayoutError("missing comma in layout");
        const int count = read_count(text, i);
        skip_blanks(text, i);
        if (i >= text.size()) throw LayoutError("layout must end with ')'");
        const char kind = to_upper(text[i]);
        ++i;
        if (kind == 'X') {
            if (count == 0) throw LayoutError("0X in layout");
            append(layout, {Edit::X, count < 0 ? 1 : count, 0});
        } else if (kind == 'I' || kind == 'F' || kind == 'A') {
            if (count == 0) throw LayoutError("repeat count 0 in layout");
            int width = read_count(text, i);
            int decimals = 0;
            if (kind == 'F') {
                skip_blanks(text, i);
                if (i >= text.size() || text[i] != '.') throw LayoutError("F field needs w.d");
                ++i;
                decimals = read_count(text, i);
                if (decimals < 0) throw LayoutError("F field needs w.d");
            }
            if (kind != 'A' && width <= 0) throw LayoutError("I and F fields need a width");
            if (kind == 'A' && width == 0) throw LayoutError("A0 in layout");
            if (width < 0) width = 0;  // bare A
            const Edit edit = kind == 'I' ? Edit::I : kind == 'F' ? Edit::F : Edit::A;
            for (int r = 0; r < (count < 0 ? 1 : count); ++r) append(layout, {edit, width, decimals});
        } else {
            throw LayoutError("unknown field descriptor in layout");
        }
        expect_item = false;
    }
    skip_blanks(text, i);
    if (i != text.size()) throw LayoutError("text after the closing ')' of layout");
    return layout;
}


}  // namespace velor::textio
