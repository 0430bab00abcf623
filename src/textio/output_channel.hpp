// Channels written record by record: the console and the output files.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "textio/layout.hpp"
#include "textio/record_format.hpp"

namespace velor::textio {

class OutputChannel {
public:
    virtual ~OutputChannel() = default;

    // Writes values with a layout.  After a "$" the line stays open and the
    // next write to this channel continues it.
    void write(const Layout& layout, std::initializer_list<Value> values);
    void write(const Layout& layout, std::span<const Value> values);

    // Writes a free-format record of texts (a blank, the texts, CR LF).
    void write_free(std::initializer_list<std::string_view> texts = {});

    // Writes a record already put together by the field writers, line end
    // included (a record with fixed columns written in bulk).
    void write_formatted(std::string_view record) {
        pending_.append(record);
        drain(pending_);
    }

    // Writes text as it is (a file whose lines are not records, such as a
    // JSON summary).
    void write_text(std::string_view text) {
        pending_.append(text);
        drain(pending_);
    }

protected:
    // Called after each record write; `pending` holds the text not yet
    // handed on.  An implementation sends it on and clears it, at once or
    // when enough has gathered.
    virtual void drain(std::string& pending) = 0;
    std::string pending_;
};

// Records put together in memory, for text that goes to more than one
// place: the records as a file holds them, each ending in CR LF.
class TextChannel : public OutputChannel {
public:
    const std::string& text() const { return pending_; }

protected:
    void drain(std::string&) override {}
};

// Standard output (or any stream, for tests).  Text is handed to the stream
// at once, so a prompt is visible before the answer is read.  On a terminal
// the stream is also flushed after each record, so that each progress line
// shows when it is written, not with the rest at the end of the run; to a
// file or a pipe the stream's buffer collects the records.
class ConsoleChannel : public OutputChannel {
public:
    enum class Flush { buffered, each_record };

    explicit ConsoleChannel(std::ostream& out, Flush flush = Flush::buffered) : out_(out), flush_(flush) {}
    void flush() { out_.flush(); }

protected:
    void drain(std::string& pending) override;

private:
    std::ostream& out_;
    Flush flush_;
};

}  // namespace velor::textio
