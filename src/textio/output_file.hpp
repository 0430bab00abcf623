// An output file that is never seen half-written.  Records go to a
// temporary file in the same folder; `close` renames it onto the real name
// once everything is written and closed without error.  A writer destroyed
// without `close` (the run ended early) removes its temporary file, so an
// earlier file of the same name stays exactly as it was.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "textio/background_writer.hpp"

#include "textio/output_channel.hpp"

namespace velor::textio {

class OutputFile : public OutputChannel {
public:
    // Creates the temporary file; a fatal record error if that fails.
    explicit OutputFile(std::string name);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes out what is pending, closes, and replaces the named file.
    void close();

    const std::string& name() const { return name_; }
    const std::string& temporary_name() const { return temp_name_; }

protected:
    void drain(std::string& pending) override;

private:
    void send(std::string& pending);
    [[noreturn]] void fail_write(int error_number);

    std::string name_;
    std::string temp_name_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<BackgroundWriter> writer_;  // from the first full block on
};

}  // namespace velor::textio
