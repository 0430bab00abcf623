#include "textio/free_format.hpp"

#include <algorithm>
#include <charconv>
#include <string>

#include "textio/errors.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::textio {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_comma(char c) { return c == ',' || c == ';'; }
bool ends_token(char c) { return is_blank(c) || is_comma(c) || c == '/'; }

std::string bad_number(std::size_t item) {
    return "Bad real number in item " + std::to_string(item + 1) + " of list input";
}

class FreeFormatReader {
public:
    FreeFormatReader(std::span<float* const> items, const std::string& location, FreeFormatOptions options)
        : items_(items), location_(location), options_(options) {}

    // Consumes one record; true when the read is complete.
    bool consume(std::string_view text) {
        std::size_t i = 0;
        while (next_ < items_.size()) {
            while (i < text.size() && is_blank(text[i])) ++i;
            if (i == text.size()) return false;  // the line end separates too
            const char c = text[i];
            if (is_comma(c)) {
                if (comma_pending_) skip_items(1);
                comma_pending_ = true;
                ++i;
                continue;
            }
            if (c == '/') {
                if (options_.require_every_value) fail(next_);
                return true;
            }
            const std::size_t start = i;
            while (i < text.size() && !ends_token(text[i])) ++i;
            take_token(text.substr(start, i - start));
            comma_pending_ = false;
        }
        return true;
    }

    [[noreturn]] void fail(std::size_t item) const { throw RecordError(location_, bad_number(item)); }

private:
    void skip_items(std::size_t count) {
        if (options_.require_every_value) fail(next_);
        next_ += std::min(count, items_.size() - next_);
    }

    void take_token(std::string_view token) {
        const std::size_t star = token.find('*');
        if (star == std::string_view::npos) {
            store(token, 1);
            return;
        }
        // r*v: r copies of v; r* alone: r null values.
        std::size_t repeat = 0;
        const std::string_view count = token.substr(0, star);
        const auto res = std::from_chars(count.data(), count.data() + count.size(), repeat);
        if (res.ec != std::errc{} || res.ptr != count.data() + count.size() || repeat == 0) fail(next_);
        const std::string_view value = token.substr(star + 1);
        if (value.empty()) skip_items(repeat);
        else store(value, repeat);
    }

    void store(std::string_view token, std::size_t repeat) {
        const auto value = read_real_token(token);
        if (!value) fail(next_);
        for (std::size_t r = 0; r < repeat && next_ < items_.size(); ++r) *items_[next_++] = *value;
    }

    std::span<float* const> items_;
    const std::string& location_;
    FreeFormatOptions options_;
    std::size_t next_ = 0;
    bool comma_pending_ = true;  // a comma first of all is a null value
};

}  // namespace

void read_free_format(std::string_view text, std::span<float* const> items, const std::string& location,
                      const NextRecord& next, FreeFormatOptions options) {
    FreeFormatReader reader(items, location, options);
    std::string_view record = text;
    while (!reader.consume(record)) {
        if (!next || !next(record)) throw RecordError(location, "End of file");
    }
}

}  // namespace velor::textio
