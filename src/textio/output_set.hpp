// The output files of a run, put in place together.  Each is written to a
// temporary file beside its target; only when the run has succeeded are
// they renamed, one after the other, with interruptions held off, so a run
// that stops early, or is interrupted, leaves every earlier output as it
// was instead of a new data file beside an old report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "textio/output_file.hpp"

namespace velor::textio {

class OutputSet {
public:
    // A new output file of the set; a fatal record error if its temporary
    // file cannot be created.
    OutputFile& create(std::string name);

    // Puts every file of the set in place, in the order created.  Each must
    // be closed.  A target that cannot be replaced (a folder of that name;
    // on Windows also a file held open by another program, or read-only)
    // is found before any file is renamed.
    void put_in_place();

private:
    std::vector<std::unique_ptr<OutputFile>> files_;
};

}  // namespace velor::textio
