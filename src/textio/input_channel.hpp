// Channels read record by record: input files and the keyboard.
#pragma once

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "textio/layout.hpp"
#include "textio/record_format.hpp"

namespace velor::textio {

class InputChannel {
public:
    virtual ~InputChannel() = default;

    // The next record, without its line end (LF or CR LF); false at the end
    // of the channel.  The view stays valid until the next call.
    virtual bool next_line(std::string_view& line) = 0;

    // The next record; at the end of the channel a fatal "End of file".
    std::string_view require_line();

    // Reads items with a layout from the next record (and further records
    // if the layout is used up first).  A malformed field is fatal.
    void read(const Layout& layout, std::initializer_list<Item> items);
    // The same with an error branch: false on a malformed field.
    bool try_read(const Layout& layout, std::initializer_list<Item> items);

    // Reads items from `record`, the record just taken from this channel,
    // by the same rules as `read`.
    void read_taken(std::string_view record, const Layout& layout, std::initializer_list<Item> items);

    // "file 'abc.fcf', line 12" or "standard input, line 2": where the last
    // record came from.
    virtual std::string location() const = 0;

    [[noreturn]] void fail(const std::string& message) const;

private:
    ReadStatus read_items(const Layout& layout, std::span<const Item> items);
};

// A sequential text file.  Lines are handed out as views into a block
// buffer, so reading allocates nothing per record; of a line longer than the
// buffer only its head is kept (nothing reads past column 80).
class InputFile : public InputChannel {
public:
    // Opens an existing file; nullptr when there is no such file.  Any other
    // failure to open, and a name that is not a regular file (a folder, a
    // FIFO, a device), is a fatal record error.
    static std::unique_ptr<InputFile> open(const std::string& name);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool next_line(std::string_view& line) override;
    // next_line without a call where the line lies whole in the buffer, for
    // a reader that takes a file's records one after another.
    bool next_buffered_line(std::string_view& line) {
        if (begin_ < end_ && !discarding_) {
            const char* const data = buffer_.get();
            if (const void* lf = std::memchr(data + begin_, '\n', end_ - begin_)) {
                const auto stop = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
                std::string_view text(data + begin_, stop - begin_);
                begin_ = stop + 1;
                if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
                ++line_number_;
                line = text;
                return true;
            }
        }
        return InputFile::next_line(line);
    }
    // The text in the buffer from the start of the next line on (empty in
    // the middle of an over-long line), for a reader that finds where the
    // line ends itself; take_line then passes over the line's `length`
    // characters and its LF.
    std::string_view buffered_lines() const {
        return discarding_ ? std::string_view() : std::string_view(buffer_.get() + begin_, end_ - begin_);
    }
    void take_line(std::size_t length) {
        begin_ += length + 1;
        ++line_number_;
    }
    std::string location() const override;
    const std::string& name() const { return name_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    InputFile(std::string name, std::unique_ptr<std::FILE, FileCloser> file);
    bool fill();

    static constexpr std::size_t kCapacity = 1 << 18;
    std::string name_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool at_eof_ = false;
    bool discarding_ = false;
    long line_number_ = 0;
};

// Standard input (or any stream, for tests), one answer line per record.
class KeyboardChannel : public InputChannel {
public:
    explicit KeyboardChannel(std::istream& in) : in_(in) {}
    bool next_line(std::string_view& line) override;
    std::string location() const override;

private:
    std::istream& in_;
    std::string line_;
    long line_number_ = 0;
};

// Reads an in-memory record (one line read earlier) with a layout.  Commas
// get no special treatment here.  False on a malformed field; items left
// unfilled when the record is used up keep their values.
bool read_in_memory(std::string_view record, const Layout& layout, std::initializer_list<Item> items);
ReadStatus read_in_memory(std::string_view record, const Layout& layout, std::span<const Item> items);

}  // namespace velor::textio
