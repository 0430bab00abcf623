// A summary file must never take the place of a file of the run: the
// refinement's NAME.res and NAME.fcf, the NAMEx.hkl, NAMEx.ins and
// NAMEx.abs being made, or another summary file.  One mistyped option
// would otherwise replace the refinement's reflection file with JSON.
#pragma once

#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "input/file_names.hpp"
#include "platform/file_identity.hpp"

namespace velor::driver {

struct NamedFile {
    std::string what;  // "--json", or what the file is to the run
    std::string name;  // as given
    platform::FileKey key;
};

// The first summary file that is one of `run_files` or a summary file
// before it, as a line that names the option and the file it would replace;
// empty when there is none.
std::string summary_clash(const std::vector<NamedFile>& run_files, const std::vector<NamedFile>& summaries);

// The same for the command line's summary files and the run's five files,
// as they stand on disk now: a clash stops the run with exit status 2
// before any file is read or written.
void refuse_summary_clashes(const CommandLine& line, const input::FileNames& names);

}  // namespace velor::driver
