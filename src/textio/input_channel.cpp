#include "textio/input_channel.hpp"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/files.hpp"
#include "textio/errors.hpp"

namespace velor::textio {

// ---------------------------------------------------------------- channel

std::string_view InputChannel::require_line() {
    std::string_view line;
    if (!next_line(line)) fail("End of file");
    return line;
}

void InputChannel::fail(const std::string& message) const { throw RecordError(location(), message); }

ReadStatus InputChannel::read_items(const Layout& layout, std::span<const Item> items) {
    std::size_t next = 0;
    do {
        const std::string_view record = require_line();
        const ReadStatus status = parse_record(record, layout, items, next, /*commas_end_fields=*/true);
        if (status != ReadStatus::Ok) return status;
    } while (next < items.size());
    return ReadStatus::Ok;
}

void InputChannel::read(const Layout& layout, std::initializer_list<Item> items) {
    const ReadStatus status = read_items(layout, std::span<const Item>(items.begin(), items.size()));
    if (status != ReadStatus::Ok) fail(read_status_text(status));
}

void InputChannel::read_taken(std::string_view record, const Layout& layout, std::initializer_list<Item> items) {
    const std::span<const Item> span(items.begin(), items.size());
    std::size_t next = 0;
    ReadStatus status = parse_record(record, layout, span, next, /*commas_end_fields=*/true);
    while (status == ReadStatus::Ok && next < span.size())
        status = parse_record(require_line(), layout, span, next, /*commas_end_fields=*/true);
    if (status != ReadStatus::Ok) fail(read_status_text(status));
}

bool InputChannel::try_read(const Layout& layout, std::initializer_list<Item> items) {
    return read_items(layout, std::span<const Item>(items.begin(), items.size())) == ReadStatus::Ok;
}

// ------------------------------------------------------------------- file

std::unique_ptr<InputFile> InputFile::open(const std::string& name) {
    const platform::OpenedFile opened = platform::open_for_reading(name);
    const std::string location = "opening file '" + name + "'";
    switch (opened.failure.kind) {
        case platform::Failure::Kind::none: break;
        case platform::Failure::Kind::no_such_file: return nullptr;
        case platform::Failure::Kind::not_regular:
            throw RecordError(location, "File '" + name + "' is not a regular file (" + opened.failure.text + ")");
        case platform::Failure::Kind::denied:
            throw RecordError(location, "Permission denied trying to open file '" + name + "'");
        default: throw RecordError(location, "Cannot open file '" + name + "': " + opened.failure.text);
    }
    // Owned before anything else can throw.
    std::unique_ptr<std::FILE, FileCloser> file(opened.file);
    return std::unique_ptr<InputFile>(new InputFile(name, std::move(file)));
}

InputFile::InputFile(std::string name, std::unique_ptr<std::FILE, FileCloser> file)
    : name_(std::move(name)), file_(std::move(file)), buffer_(new char[kCapacity]) {
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

std::string InputFile::location() const {
    return "file '" + name_ + "', line " + std::to_string(line_number_);
}

bool InputFile::fill() {
    const std::size_t got = std::fread(buffer_.get() + end_, 1, kCapacity - end_, file_.get());
    if (got == 0) {
        if (std::ferror(file_.get())) {
            const int error_number = errno;
            throw RecordError(location(), "Cannot read file '" + name_ + "': " + std::strerror(error_number));
        }
        at_eof_ = true;
    }
    end_ += got;
    return got != 0;
}

bool InputFile::next_line(std::string_view& line) {
    for (;;) {
        char* const data = buffer_.get();
        const void* lf = begin_ < end_ ? std::memchr(data + begin_, '\n', end_ - begin_) : nullptr;
        if (lf != nullptr) {
            const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
            std::string_view text(data + begin_, stop - begin_);
            begin_ = stop + 1;
            if (discarding_) {  // the rest of an over-long line
                discarding_ = false;
                continue;
            }
            if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
            ++line_number_;
            line = text;
            return true;
        }
        if (at_eof_) {
            if (begin_ == end_ || discarding_) {
                begin_ = end_;
                discarding_ = false;
                return false;
            }
            // A last line without a line end is still a record; a CR at its
            // end is what remains of a CR LF whose LF was lost, as the
            // keyboard channel takes it too.
            line = std::string_view(data + begin_, end_ - begin_);
            if (line.back() == '\r') line.remove_suffix(1);
            begin_ = end_;
            ++line_number_;
            return true;
        }
        if (begin_ > 0) {
            std::memmove(data, data + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ == kCapacity) {
            // No line end in a full buffer: hand out the head of the line and
            // pass over the rest of it on the next call.
            if (discarding_) {
                end_ = 0;
            } else {
                discarding_ = true;
                begin_ = end_;
                ++line_number_;
                line = std::string_view(data, kCapacity);
                // A CR LF split by the end of the buffer: the CR is line end.
                if (line.back() == '\r') line.remove_suffix(1);
                return true;
            }
        }
        fill();
    }
}

// --------------------------------------------------------------- keyboard

bool KeyboardChannel::next_line(std::string_view& line) {
    if (!std::getline(in_, line_)) return false;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    ++line_number_;
    line = line_;
    return true;
}

std::string KeyboardChannel::location() const {
    return "standard input, line " + std::to_string(line_number_ + (in_ ? 0 : 1));
}

// -------------------------------------------------------------- in memory

ReadStatus read_in_memory(std::string_view record, const Layout& layout, std::span<const Item> items) {
    std::size_t next = 0;
    return parse_record(record, layout, items, next, /*commas_end_fields=*/false);
}

bool read_in_memory(std::string_view record, const Layout& layout, std::initializer_list<Item> items) {
    return read_in_memory(record, layout, std::span<const Item>(items.begin(), items.size())) == ReadStatus::Ok;
}

}  // namespace velor::textio
