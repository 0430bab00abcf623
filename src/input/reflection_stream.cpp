#include "input/reflection_stream.hpp"

#include "platform/interrupts.hpp"

namespace velor::input {

ReflectionStream::ReflectionStream(std::unique_ptr<textio::InputFile> file, Prepare prepare)
    : prepare_(std::move(prepare)), file_(std::move(file)) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        slots_[i].records.reserve(kBatchSize);
        slots_[i].slot = i;
    }
    reader_ = platform::start_worker([this] { read_all(); });
}

ReflectionStream::~ReflectionStream() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

ReflectionStream::Batch* ReflectionStream::fill_slot() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopping_ || produced_ - consumed_ < kSlots; });
    if (stopping_) return nullptr;
    Batch* b = &slots_[produced_ % kSlots];
    b->records.clear();
    b->last = false;
    b->error = nullptr;
    return b;
}

void ReflectionStream::publish() {
    if (prepare_) {
        const Batch& b = slots_[produced_ % kSlots];
        prepare_(b.records, b.slot);
    }
    {
        const std::lock_guard lock(mutex_);
        ++produced_;
    }
    changed_.notify_all();
}

void ReflectionStream::read_all() {
    ReflectionReader reader(*file_);
    Batch* batch = fill_slot();
    if (batch == nullptr) return;
    try {
        for (core::Reflection r = reader.first(); !r.is_terminator(); r = reader.next()) {
            batch->records.push_back(r);
            if (batch->records.size() == kBatchSize) {
                publish();
                batch = fill_slot();
                if (batch == nullptr) return;  // the pass has ended early
            }
        }
        batch->last = true;
    } catch (...) {
        batch->error = std::current_exception();
        batch->last = true;
    }
    publish();
}

bool ReflectionStream::advance() {
    if (finished_) return false;
    if (current_ != &empty_) {
        // Give the used batch back, then end the list here if it said so.
        const bool last = current_->last;
        const std::exception_ptr error = current_->error;
        {
            const std::lock_guard lock(mutex_);
            ++consumed_;
        }
        changed_.notify_all();
        current_ = &empty_;
        position_ = 0;
        if (error) {
            finished_ = true;
            std::rethrow_exception(error);
        }
        if (last) {
            finished_ = true;
            return false;
        }
    }
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return produced_ > consumed_; });
        current_ = &slots_[consumed_ % kSlots];
    }
    position_ = 0;
    // Only the last batch can be empty: it ends the list, perhaps with an error.
    return !current_->records.empty() || advance();
}

}  // namespace velor::input
