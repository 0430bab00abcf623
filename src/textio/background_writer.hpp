// Writes blocks of an output file on a thread of its own, one block at a
// time, so that the next block is put together while the system copies this
// one: for a large file the copying is a good part of the work.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "platform/failure.hpp"

namespace velor::textio {

class BackgroundWriter {
public:
    explicit BackgroundWriter(std::FILE* file);
    ~BackgroundWriter();  // lets a block being written finish, then stops
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Takes the text of `block` for writing and leaves `block` empty (with
    // the storage of a block already written).  Waits while the block
    // before is still being written.  Returns the failure of an earlier
    // write, if one failed.
    platform::Failure hand_over(std::string& block);

    // Waits until every block handed over is written; the failure of a
    // write, if one failed.
    platform::Failure finish();

private:
    void run();

    std::FILE* file_;
    std::string block_;
    bool busy_ = false;  // block_ holds text not yet written
    bool stopping_ = false;
    platform::Failure error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace velor::textio
