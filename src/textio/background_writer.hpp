// Writes blocks of an output file on a thread of its own, one block at a
// time, so that the next block is put together while the system copies this
// one: for a large file the copying is a good part of the work.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace velor::textio {

class BackgroundWriter {
public:
    explicit BackgroundWriter(std::FILE* file);
    ~BackgroundWriter();  // lets a block being written finish, then stops
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the text of `block` for writing and leaves `block` empty (with
    // the storage of a block already written).  Waits while the block
    // before is still being written.  Returns the error number of an
    // earlier write that failed, 0 if none has.
    int hand_over(std::string& block);

    // Waits until every block handed over is written; the error number of
    // a failed write, or 0.
    int finish();

private:
    void run();

    std::FILE* file_;
    std::string block_;
    bool busy_ = false;  // block_ holds text not yet written
    bool stopping_ = false;
    int error_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace velor::textio
