// The output files of a run, put in place together.  Each is written to a
// temporary file beside its target and forced out to the disk; only when
// the run has succeeded are they renamed, one after the other, with
// interruptions held off and under a lock that every run writing the same
// set takes, so a run that stops early, or is interrupted, leaves every
// earlier output as it was instead of a new data file beside an old
// report, and two runs at once leave the whole set of one of them.  The
// folders are flushed after the renames, so that a power loss leaves the
// earlier set or the new one.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "textio/output_file.hpp"

namespace velor::textio {

class OutputSet {
public:
    // `lock_file`: an existing file that every run writing this set locks
    // while it puts its set in place (none when empty).
    explicit OutputSet(std::string lock_file = {}) : lock_file_(std::move(lock_file)) {}

    // A new output file of the set; a fatal record error if its temporary
    // file cannot be created.
    OutputFile& create(std::string name);

    // Puts every file of the set in place, in the order created, holding the
    // lock.  Each must be closed.  A target that cannot be replaced (a folder of that name;
    // on Windows also a file held open by another program, or read-only)
    // is found before any file is renamed.
    void put_in_place();

private:
    std::string lock_file_;
    std::vector<std::unique_ptr<OutputFile>> files_;
};

}  // namespace velor::textio
