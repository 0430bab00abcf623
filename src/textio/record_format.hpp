// Turning values into records and records into values with a layout.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "textio/layout.hpp"

namespace velor::textio {

// One value to be written: an integer, a real (a float converts exactly)
// or a text.  Each is written by a field of its own kind, I, F or A; a
// value given to a field of another kind is a fault of the calling code and
// throws std::logic_error.
struct Value {
    enum class Kind { Int, Real, Text };
    Kind kind;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string_view text;

    Value(int v) : kind(Kind::Int), integer(v) {}                   // NOLINT(google-explicit-constructor)
    Value(std::int64_t v) : kind(Kind::Int), integer(v) {}          // NOLINT
    Value(float v) : kind(Kind::Real), real(static_cast<double>(v)) {}  // NOLINT
    Value(double v) : kind(Kind::Real), real(v) {}                  // NOLINT
    Value(std::string_view v) : kind(Kind::Text), text(v) {}        // NOLINT
    Value(const char* v) : kind(Kind::Text), text(v) {}             // NOLINT
    Value(const std::string& v) : kind(Kind::Text), text(v) {}      // NOLINT
};

// Appends the records that the layout makes of the values.  Each record but
// the last is ended with CR LF; the last is ended too unless a "$" was met
// in it.  Returns true when the line is left open.
bool format_records(std::string& out, const Layout& layout, std::span<const Value> values);

// Appends a free-format record of texts: a blank, the texts, CR LF; with no
// texts, CR LF alone.
void format_free_record(std::string& out, std::span<const std::string_view> texts);

// One item to be read: an integer, a single-precision real or a text of
// fixed length (the length of the string it refers to).  Each is read from
// a field of its own kind, I, F or A; an item met by a field of another
// kind is a fault of the calling code and throws std::logic_error.
struct Item {
    enum class Kind { Int, Real, Text };
    Kind kind;
    std::int32_t* integer = nullptr;
    float* real = nullptr;
    std::string* text = nullptr;

    Item(std::int32_t& v) : kind(Kind::Int), integer(&v) {}  // NOLINT
    Item(float& v) : kind(Kind::Real), real(&v) {}           // NOLINT
    Item(std::string& v) : kind(Kind::Text), text(&v) {}     // NOLINT
};

enum class ReadStatus { Ok, BadInteger, BadReal };

const char* read_status_text(ReadStatus status);

// Reads items from one record with a layout, from column 1.  Missing
// columns read as blanks.  With `commas_end_fields` (records of files and
// of the keyboard) a comma inside an I or F field ends it there and the
// next field begins after the comma.  Reading stops at the first malformed
// field; items read before it keep their new values.  `next` is the index of
// the first item not yet filled, both on entry and on return; a return with
// items left means the layout is used up and reading goes on with the next
// record.
ReadStatus parse_record(std::string_view record, const Layout& layout, std::span<const Item> items,
                        std::size_t& next, bool commas_end_fields);

}  // namespace velor::textio
