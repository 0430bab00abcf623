#include "output/corrected_record_writer.hpp"

#include <string_view>

#include "output/corrected_record.hpp"
#include "platform/interrupts.hpp"

namespace velor::output {

CorrectedRecordWriter::CorrectedRecordWriter(textio::OutputFile& file)
    : file_(file), text_(new char[kBatchSize * kRecordLength]), current_(&batches_[0]) {
    for (Batch& b : batches_) b.reserve(kBatchSize);
    thread_ = platform::start_worker([this] { run(); });
}

CorrectedRecordWriter::~CorrectedRecordWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CorrectedRecordWriter::hand_over() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_ == nullptr; });
        if (error_) std::rethrow_exception(error_);
        pending_ = current_;
    }
    changed_.notify_all();
    current_ = current_ == &batches_[0] ? &batches_[1] : &batches_[0];
    current_->clear();
}

void CorrectedRecordWriter::finish() {
    if (!current_->empty()) hand_over();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    if (error_) std::rethrow_exception(error_);
}

void CorrectedRecordWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ != nullptr || stopping_; });
        if (stopping_) return;  // a batch not yet written is dropped
        // Only this thread touches the pending batch and the file until it
        // hands the batch back.
        Batch& batch = *pending_;
        lock.unlock();
        std::exception_ptr error;
        try {
            // The batch's records put together, then handed on at once.
            char* end = text_.get();
            for (const Entry& e : batch) end += put_corrected_record(end, e.r, e.c);
            file_.write_formatted(std::string_view(text_.get(), static_cast<std::size_t>(end - text_.get())));
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        error_ = error;
        pending_ = nullptr;
        changed_.notify_all();
        if (error_) return;
    }
}

}  // namespace velor::output
