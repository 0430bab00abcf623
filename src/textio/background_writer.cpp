#include "textio/background_writer.hpp"

#include <cerrno>

#include "platform/interrupts.hpp"

namespace velor::textio {

BackgroundWriter::BackgroundWriter(std::FILE* file)
    : file_(file), thread_(platform::start_worker([this] { run(); })) {}

BackgroundWriter::~BackgroundWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

platform::Failure BackgroundWriter::hand_over(std::string& block) {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        if (error_) return error_;
        block_.swap(block);
        busy_ = true;
    }
    changed_.notify_all();
    return {};
}

platform::Failure BackgroundWriter::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    return error_;
}

void BackgroundWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return busy_ || stopping_; });
        if (!busy_) return;
        // Only this thread touches block_ while busy_ is set.
        lock.unlock();
        const bool written = std::fwrite(block_.data(), 1, block_.size(), file_) == block_.size();
        const int error_number = errno;
        block_.clear();
        lock.lock();
        if (!written && !error_) error_ = platform::Failure::of_error_number(error_number);
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace velor::textio
