// The corrected records of the second pass, formatted and written on a
// thread of their own while the pass goes on with the next reflections.
// Records reach the file in the order they were added, so the file is the
// one a single thread writes.
#pragma once

#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/reflection.hpp"
#include "model/correction.hpp"
#include "textio/output_file.hpp"

namespace velor::output {

class CorrectedRecordWriter {
public:
    // Writes to `file`, which nothing else writes until finish().
    explicit CorrectedRecordWriter(textio::OutputFile& file);
    ~CorrectedRecordWriter();  // drops what is not yet written and stops
    CorrectedRecordWriter(const CorrectedRecordWriter&) = delete;
    CorrectedRecordWriter& operator=(const CorrectedRecordWriter&) = delete;

    void add(const core::Reflection& r, const model::CorrectedReflection& c) {
        current_->push_back({r, c});
        if (current_->size() == kBatchSize) hand_over();
    }

    // Writes what remains and waits for it; the file is the caller's again.
    // An error of a write (a RecordError) is thrown here or by a later add.
    void finish();

private:
    static constexpr std::size_t kBatchSize = 4096;
    static constexpr std::size_t kRecordLength = 40;  // put_corrected_record's, CR LF included
    struct Entry {
        core::Reflection r;
        model::CorrectedReflection c;
    };
    using Batch = std::vector<Entry>;

    void hand_over();  // gives the current batch to the thread, waiting while it is busy
    void run();

    textio::OutputFile& file_;
    std::array<Batch, 2> batches_;
    std::unique_ptr<char[]> text_;  // a batch's records, put together by the thread
    Batch* current_;      // filled by the caller
    Batch* pending_ = nullptr;  // handed over, not yet written
    bool stopping_ = false;
    std::exception_ptr error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace velor::output
