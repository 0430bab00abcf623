// An output file that is never seen half-written.  Records go to a
// temporary file in the same folder; `close` writes out and closes it, and
// `put_in_place` renames it onto the real name.  A file destroyed before
// it is put in place (the run ended early, or was interrupted) removes
// its temporary file, so an earlier file of the same name stays exactly as
// it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/failure.hpp"
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

    // Tells the expected size of the file, so that the file system can set
    // its space aside at once rather than block by block, and need not do so
    // when the file replaces an earlier one.  Space set aside beyond what is
    // written is given back when the file is closed.
    void reserve(std::uint64_t bytes);

    // Writes out what is pending, forces the file out to the disk and closes
    // the temporary file.
    void close();
    bool closed() const { return file_ == nullptr; }

    // Renames the closed temporary file onto the real name.
    void put_in_place();

    const std::string& name() const { return name_; }
    // Where the text stands until it is put in place.
    const std::string& temporary_name() const { return temp_name_; }

protected:
    void drain(std::string& pending) override;

private:
    void send(std::string& pending);
    [[noreturn]] void fail_write(const platform::Failure& failure);
    void discard_temporary();

    std::string name_;
    std::string temp_name_;
    int ticket_ = -1;  // of the temporary file noted for removal on an interruption
    std::FILE* file_ = nullptr;
    std::uint64_t reserved_ = 0;  // bytes set aside by reserve
    std::unique_ptr<BackgroundWriter> writer_;  // from the first full block on
};

}  // namespace velor::textio
