// The reflection list read on a second thread, a few thousand records
// ahead of the pass that uses them.  The records arrive in file order, and a
// fatal error of the reading arrives at the place in the list where it
// occurred, so a pass sees exactly what reading in turn would give it.
#pragma once

#include <array>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "input/reflection_reader.hpp"

namespace velor::input {

class ReflectionStream {
public:
    // The records are handed on in batches of up to kBatchSize, kSlots of
    // them in flight at once.
    static constexpr std::size_t kBatchSize = 4096;
    static constexpr std::size_t kSlots = 4;

    // Work that the reading thread does on each batch once it is read, before
    // the pass takes it: `prepare(records, slot)`.  What it leaves for slot s
    // stays the pass's to read until the pass moves past that batch (slot()
    // and index() tell where a record stands).
    using Prepare = std::function<void(std::span<const core::Reflection>, std::size_t slot)>;

    // Reads `file` from its current position, on a thread of its own.
    explicit ReflectionStream(std::unique_ptr<textio::InputFile> file, Prepare prepare = {});
    ~ReflectionStream();
    ReflectionStream(const ReflectionStream&) = delete;
    ReflectionStream& operator=(const ReflectionStream&) = delete;

    // The next reflection; false at the terminator, which is not handed on.
    // A fatal error met in reading is thrown here, after the records before it.
    bool next(core::Reflection& r) {
        if (position_ == current_->records.size() && !advance()) return false;
        r = current_->records[position_++];
        return true;
    }
    // Of the record the last next() gave: its batch's slot, and its place in
    // the batch.
    std::size_t slot() const { return current_->slot; }
    std::size_t index() const { return position_ - 1; }

private:
    struct Batch {
        std::vector<core::Reflection> records;
        std::size_t slot = 0;
        bool last = false;              // the list ends after this batch
        std::exception_ptr error;       // thrown once its records are used
    };

    void read_all();
    Batch* fill_slot();                 // producer: a free slot, or nullptr when stopping
    void publish();                     // producer: hand the slot over
    bool advance();                     // consumer: take the next batch

    std::array<Batch, kSlots> slots_;
    Prepare prepare_;
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
