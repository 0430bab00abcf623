#include "textio/record_format.hpp"

#include <array>
#include <cstring>
#include <stdexcept>

#include "textio/numeric_fields.hpp"

namespace velor::textio {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A field of kind I, F or A takes an integer, a real or a text, and
// nothing else: no layout of the program pairs them otherwise, so another
// pairing is a fault of the calling code, not something to convert.
template <typename Kind>
void require_kind(Edit field, Kind kind) {
    const Kind expected = field == Edit::I ? Kind::Int : field == Edit::F ? Kind::Real : Kind::Text;
    if (kind != expected) throw std::logic_error("a layout field met a value or item of another kind");
}

// A record being written: fields are put into a buffer on the stack, which
// goes into `out` when full and at the end; fields too wide for it go
// straight into `out`.
class RecordBuffer {
public:
    explicit RecordBuffer(std::string& out) : out_(out) {}
    ~RecordBuffer() { flush(); }
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    // Room for w columns, at the end of the record.
    char* room(std::size_t width) {
        if (used_ + width > line_.size()) {
            flush();
            if (width > line_.size()) {
                const std::size_t start = out_.size();
                out_.resize(start + width);
                return out_.data() + start;
            }
        }
        char* p = line_.data() + used_;
        used_ += width;
        return p;
    }
    void append(std::string_view text) {
        if (used_ + text.size() > line_.size()) {
            flush();
            out_.append(text);
            return;
        }
        if (!text.empty()) std::memcpy(line_.data() + used_, text.data(), text.size());  // an empty view may hold no pointer
        used_ += text.size();
    }
    void flush() {
        out_.append(line_.data(), used_);
        used_ = 0;
    }

private:
    std::string& out_;
    std::array<char, 256> line_;
    std::size_t used_ = 0;
};

// An Aw field: the text right-justified in w columns when shorter, its
// leftmost w characters when longer.
void put_text(char* dst, std::string_view text, std::size_t width) {
    if (text.size() >= width) {
        std::memcpy(dst, text.data(), width);
        return;
    }
    const std::size_t pad = width - text.size();
    std::memset(dst, ' ', pad);
    if (!text.empty()) std::memcpy(dst + pad, text.data(), text.size());  // an empty view may hold no pointer
}

void write_field(RecordBuffer& out, const EditDescriptor& d, const Value& v) {
    require_kind(d.kind, v.kind);
    const auto width = static_cast<std::size_t>(d.width);
    switch (d.kind) {
        case Edit::I: put_i(out.room(width), v.integer, d.width); break;
        case Edit::F: put_f(out.room(width), v.real, d.width, d.decimals); break;
        default:  // A; a bare A writes the whole text
            if (width == 0) out.append(v.text);
            else put_text(out.room(width), v.text, width);
            break;
    }
}

struct WrittenRecord {
    bool took_values = false;
    bool open = false;  // a $ was met
};

// One record: the fields of the layout in turn, each field that takes a
// value given the next one, until the layout or the values are used up.
WrittenRecord write_record(RecordBuffer& out, const Layout& layout, std::span<const Value> values, std::size_t& next) {
    WrittenRecord record;
    for (const EditDescriptor& d : layout) {
        if (d.kind == Edit::X) {
            std::memset(out.room(static_cast<std::size_t>(d.width)), ' ', static_cast<std::size_t>(d.width));
        } else if (d.kind == Edit::Dollar) {
            record.open = true;
        } else if (next == values.size()) {
            break;
        } else {
            write_field(out, d, values[next++]);
            record.took_values = true;
        }
    }
    return record;
}

// Columns [begin, begin + width) of the record, cut to what the record has.
std::string_view columns(std::string_view record, std::size_t begin, std::size_t width) {
    if (begin >= record.size()) return {};
    return record.substr(begin, width);
}

void fill_text(std::string& item, std::string_view cols, std::size_t width) {
    const std::size_t length = item.size();
    if (width <= length) {
        // The w columns fill the item from the left; the rest is blank.
        std::size_t i = 0;
        for (; i < cols.size() && i < length; ++i) item[i] = cols[i];
        for (; i < length; ++i) item[i] = ' ';
    } else {
        // The item takes the rightmost L of the w columns.
        const std::size_t skip = width - length;
        for (std::size_t i = 0; i < length; ++i) {
            const std::size_t col = skip + i;
            item[i] = col < cols.size() ? cols[col] : ' ';
        }
    }
}

// An I or F field as the item takes it.  With `commas_end_fields` a comma
// ends the field early, and the next field begins after it; `pos` moves to
// the next field either way.
ReadStatus read_number(std::string_view record, std::size_t& pos, const EditDescriptor& d, const Item& item,
                       bool commas_end_fields) {
    const auto width = static_cast<std::size_t>(d.width);
    std::string_view field = columns(record, pos, width);
    std::size_t advance = width;
    if (commas_end_fields) {
        if (const std::size_t comma = field.find(','); comma != std::string_view::npos) {
            field = field.substr(0, comma);
            advance = comma + 1;
        }
    }
    pos += advance;
    if (d.kind == Edit::I) {
        const auto v = read_i(field);
        if (!v) return ReadStatus::BadInteger;
        *item.integer = *v;
    } else {
        const auto v = read_f(field, d.decimals);
        if (!v) return ReadStatus::BadReal;
        *item.real = *v;
    }
    return ReadStatus::Ok;
}

}  // namespace

bool format_records(std::string& out, const Layout& layout, std::span<const Value> values) {
    RecordBuffer buffer(out);
    std::size_t next = 0;
    for (;;) {
        const WrittenRecord record = write_record(buffer, layout, values, next);
        // With values left the layout starts again in a new record, unless
        // it takes none.
        if (next == values.size() || !record.took_values) {
            if (!record.open) buffer.append(kLineEnd);
            return record.open;
        }
        buffer.append(kLineEnd);
    }
}

void format_free_record(std::string& out, std::span<const std::string_view> texts) {
    if (!texts.empty()) {
        out.push_back(' ');
        for (std::string_view t : texts) out.append(t);
    }
    out.append(kLineEnd);
}

const char* read_status_text(ReadStatus status) {
    switch (status) {
        case ReadStatus::BadInteger: return "Bad value during integer read";
        case ReadStatus::BadReal: return "Bad value during floating point read";
        default: return "";
    }
}

ReadStatus parse_record(std::string_view record, const Layout& layout, std::span<const Item> items,
                        std::size_t& next, bool commas_end_fields) {
    std::size_t pos = 0;
    for (const EditDescriptor& d : layout) {
        if (next == items.size()) break;
        if (d.kind == Edit::X) {
            pos += static_cast<std::size_t>(d.width);
            continue;
        }
        if (d.kind == Edit::Dollar) continue;
        const Item& item = items[next];
        require_kind(d.kind, item.kind);
        if (d.kind == Edit::A) {
            // A bare A is as wide as its item.
            const std::size_t width = d.width != 0 ? static_cast<std::size_t>(d.width) : item.text->size();
            fill_text(*item.text, columns(record, pos, width), width);
            pos += width;
        } else if (const ReadStatus status = read_number(record, pos, d, item, commas_end_fields);
                   status != ReadStatus::Ok) {
            return status;
        }
        ++next;
    }
    return ReadStatus::Ok;
}

}  // namespace velor::textio
