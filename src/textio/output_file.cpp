#include "textio/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "platform/file_space.hpp"
#include "platform/files.hpp"
#include "platform/interrupts.hpp"
#include "textio/errors.hpp"

namespace velor::textio {
namespace {

// Text goes to the file in blocks of this size; a file that grows past one
// block is written by a thread of its own (background_writer.hpp).
constexpr std::size_t kFlushSize = 1 << 18;

std::string location_of(const std::string& name) { return "writing file '" + name + "'"; }

// A name beside the target, hidden, and unlikely to be taken.
std::string temporary_name_for(const std::string& name, unsigned attempt) {
    const std::size_t folder_end = platform::folder_length(name);
    const std::string folder = name.substr(0, folder_end);
    const std::string base = name.substr(folder_end);
    static std::mt19937 rng{std::random_device{}()};
    return folder + "." + base + ".tmp" + std::to_string(rng() % 1000000u) + std::to_string(attempt);
}

}  // namespace

OutputFile::OutputFile(std::string name) : name_(std::move(name)) {
    platform::OpenedFile created;
    for (unsigned attempt = 0; attempt < 100 && file_ == nullptr; ++attempt) {
        temp_name_ = temporary_name_for(name_, attempt);
        // Created and noted for removal in one piece, so that an
        // interruption never leaves it behind.
        const platform::DeferInterrupts defer;
        // Created exclusively: never opens another file of that name.
        created = platform::create_new_file(temp_name_);
        file_ = created.file;
        if (file_ != nullptr) ticket_ = platform::note_temporary(temp_name_);
        else if (created.failure.kind != platform::Failure::Kind::exists) break;
    }
    if (file_ == nullptr) {
        // The system's own cause: a full disk, a missing folder, a name too
        // long.  A refused permission keeps the words it always had.
        throw RecordError(location_of(name_), created.failure.kind == platform::Failure::Kind::denied
                                                  ? "Permission denied trying to open file '" + name_ + "'"
                                                  : "Cannot create file '" + name_ + "': " + created.failure.text);
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);  // we buffer ourselves
    pending_.reserve(4096);
}

OutputFile::~OutputFile() {
    writer_.reset();  // waits for a block being written
    discard_temporary();
}

void OutputFile::discard_temporary() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (ticket_ >= 0) {
        platform::remove_file(temp_name_);
        platform::forget_temporary(ticket_);
        ticket_ = -1;
    }
}

void OutputFile::drain(std::string& pending) {
    if (pending.size() >= kFlushSize) send(pending);
}

void OutputFile::send(std::string& pending) {
    if (pending.empty()) return;
    if (file_ == nullptr) fail_write(platform::Failure::of_error_number(EBADF));  // written after close
    if (!writer_) writer_ = std::make_unique<BackgroundWriter>(file_);
    if (const platform::Failure failure = writer_->hand_over(pending)) fail_write(failure);
    pending.reserve(kFlushSize + 4096);
}

void OutputFile::fail_write(const platform::Failure& failure) {
    throw RecordError(location_of(name_), "Cannot write file '" + name_ + "': " + failure.text);
}

void OutputFile::reserve(std::uint64_t bytes) {
    if (file_ != nullptr && bytes > 0 && !platform::reserve_space(file_, bytes)) reserved_ = bytes;
}

void OutputFile::close() {
    if (file_ == nullptr) return;  // closed already
    if (writer_) {
        if (const platform::Failure failure = writer_->finish()) fail_write(failure);
        writer_.reset();
    }
    if (!pending_.empty() && std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size())
        fail_write(platform::Failure::of_error_number(errno));
    pending_.clear();
    // Space set aside past the end of what was written is given back.
    if (reserved_ > 0) {
        const long end = std::ftell(file_);
        if (end >= 0 && static_cast<std::uint64_t>(end) < reserved_)
            if (const platform::Failure failure = platform::release_space_past(file_, static_cast<std::uint64_t>(end)))
                fail_write(failure);
    }
    // On the disk before it can replace an earlier file.
    if (const platform::Failure failure = platform::flush_to_disk(file_)) fail_write(failure);
    std::FILE* file = file_;
    file_ = nullptr;
    if (const platform::Failure failure = platform::close_kept_file(file)) fail_write(failure);
}

void OutputFile::put_in_place() {
    if (const platform::Failure failure = platform::replace_file(temp_name_, name_))
        throw RecordError(location_of(name_), "Cannot replace file '" + name_ + "': " + failure.text);
    platform::forget_temporary(ticket_);
    ticket_ = -1;
}

}  // namespace velor::textio
