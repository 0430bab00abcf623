#include "textio/record_format.hpp"

#include <array>
#include <cstring>

#include "textio/field_reader.hpp"
#include "textio/field_writer.hpp"

namespace velor::textio {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A value given to a field of the other numeric kind (never done by the
// program itself) is converted without undefined behaviour.
std::int64_t truncated(double v) {
    if (!(v > -9.2e18 && v < 9.2e18)) return 0;
    return static_cast<std::int64_t>(v);
}

bool takes_value(Edit kind) { return kind == Edit::I || kind == Edit::F || kind == Edit::A; }

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

void write_field(RecordBuffer& out, const EditDescriptor& d, const Value& v) {
    const auto width = static_cast<std::size_t>(d.width);
    switch (d.kind) {
        case Edit::I:
            // A real given to an I field is written by its truncated value.
            put_i(out.room(width), v.kind == Value::Kind::Int ? v.integer : truncated(v.real), d.width);
            break;
        case Edit::F:
            put_f(out.room(width), v.kind == Value::Kind::Real ? v.real : static_cast<double>(v.integer), d.width,
                  d.decimals);
            break;
        case Edit::A: {
            const std::string_view text = v.kind == Value::Kind::Text ? v.text : std::string_view();
            if (width == 0) out.append(text);
            else put_a(out.room(width), text, d.width);
            break;
        }
        default:
            break;
    }
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

}  // namespace

bool format_records(std::string& out, const Layout& layout, std::span<const Value> values) {
    RecordBuffer record(out);
    std::size_t next = 0;
    bool open = false;
    for (;;) {
        bool consumed = false;
        for (const EditDescriptor& d : layout) {
            if (takes_value(d.kind)) {
                if (next == values.size()) goto done;
                write_field(record, d, values[next++]);
                consumed = true;
            } else if (d.kind == Edit::X) {
                std::memset(record.room(static_cast<std::size_t>(d.width)), ' ', static_cast<std::size_t>(d.width));
            } else {
                open = true;
            }
        }
        // End of the layout: with values left, a new record from the start.
        if (next == values.size() || !consumed) break;
        record.append(kLineEnd);
        open = false;
    }
done:
    if (!open) record.append(kLineEnd);
    return open;
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
        if (next == items.size()) return ReadStatus::Ok;
        const auto width = static_cast<std::size_t>(d.width);
        switch (d.kind) {
            case Edit::X:
                pos += width;
                break;
            case Edit::Dollar:
                break;
            case Edit::A: {
                const Item& item = items[next++];
                // A bare A is as wide as its text item (a number item: none).
                const std::size_t w =
                    width != 0 ? width : (item.kind == Item::Kind::Text ? item.text->size() : 0);
                if (item.kind == Item::Kind::Text) fill_text(*item.text, columns(record, pos, w), w);
                pos += w;
                break;
            }
            case Edit::I:
            case Edit::F: {
                std::string_view field = columns(record, pos, width);
                const Item& item = items[next];
                // Most fields hold nothing but blanks, a sign, digits and a
                // point: no comma, and a value the quick readers can give.
                if (d.kind == Edit::I && item.kind == Item::Kind::Int && read_i_quickly(field, *item.integer)) {
                    pos += width;
                    ++next;
                    break;
                }
                if (d.kind == Edit::F && item.kind == Item::Kind::Real &&
                    read_f_quickly(field, d.decimals, *item.real)) {
                    pos += width;
                    ++next;
                    break;
                }
                std::size_t advance = width;
                if (commas_end_fields) {
                    const std::size_t comma = field.find(',');
                    if (comma != std::string_view::npos) {
                        field = field.substr(0, comma);
                        advance = comma + 1;
                    }
                }
                pos += advance;
                if (d.kind == Edit::I) {
                    const auto v = read_i(field);
                    if (!v) return ReadStatus::BadInteger;
                    if (item.kind == Item::Kind::Int) *item.integer = *v;
                    else if (item.kind == Item::Kind::Real) *item.real = static_cast<float>(*v);
                } else {
                    const auto v = read_f(field, d.decimals);
                    if (!v) return ReadStatus::BadReal;
                    if (item.kind == Item::Kind::Real) *item.real = *v;
                    else if (item.kind == Item::Kind::Int) *item.integer = static_cast<std::int32_t>(truncated(*v) & 0x7fffffff);
                }
                ++next;
                break;
            }
        }
    }
    return ReadStatus::Ok;
}

}  // namespace velor::textio
