#include "output/corrected_record_writer.hpp"

#include <string_view>

#include "output/corrected_record.hpp"

namespace velor::output {

CorrectedRecordWriter::CorrectedRecordWriter(textio::OutputFile& file) : file_(file), current_(&batches_[0]) {
    for (Batch& b : batches_) b.reserve(kBatchSize);
    thread_ = std::thread([this] { run(); });
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
            char line[40];
            for (const Entry& e : batch)
                file_.write_formatted(std::string_view(line, put_corrected_record(line, e.r, e.c)));
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
