// The reflection list read on a second thread, a few thousand records
// ahead of the pass that uses them.  The records arrive in file order, and a
// fatal error of the reading arrives at the place in the list where it
// occurred, so a pass sees exactly what reading in turn would give it.
#pragma once

#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "input/reflection_reader.hpp"

namespace velor::input {

class ReflectionStream {
public:
    // Reads `file` from its current position, on a thread of its own.
    explicit ReflectionStream(std::unique_ptr<textio::InputFile> file);
    ~ReflectionStream();
    ReflectionStream(const ReflectionStream&) = delete;
    ReflectionStream& operator=(const ReflectionStream&) = delete;

    // The next reflection; false at the terminator, which is not handed on.
    // A fatal error met in reading is thrown here, after the records before it.
    bool next(Reflection& r) {
        if (position_ == current_->records.size() && !advance()) return false;
        r = current_->records[position_++];
        return true;
    }

private:
    static constexpr std::size_t kBatchSize = 16384;
    static constexpr std::size_t kBatches = 4;

    struct Batch {
        std::vector<Reflection> records;
        bool last = false;              // the list ends after this batch
        std::exception_ptr error;       // thrown once its records are used
    };

    void read_all();
    Batch* fill_slot();                 // producer: a free slot, or nullptr when stopping
    void publish();                     // producer: hand the slot over
    bool advance();                     // consumer: take the next batch

    std::array<Batch, kBatches> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t produced_ = 0, consumed_ = 0;  // batches, counted from the start
    bool stopping_ = false;

    Batch empty_;
    Batch* current_ = &empty_;
    std::size_t position_ = 0;
    bool finished_ = false;
    std::unique_ptr<textio::InputFile> file_;  // read by reader_ only
    std::thread reader_;
};

}  // namespace velor::input
