// The crystal data of a run, from the refinement's NAME.res and NAME.fcf.
#pragma once

#include <string>

#include "core/crystal_data.hpp"
#include "textio/output_channel.hpp"

namespace velor::input {

// Reads λ and the cell (the CELL line after TITL) and OSF (FVAR) from
// NAME.res, and F(000) from the header of NAME.fcf, which must be a LIST 4
// file.  A missing file is the missing-file stop; a file that cannot be
// read a fatal record error.
core::CrystalData read_crystal_data(const std::string& res_name, const std::string& fcf_name,
                              textio::OutputChannel& console);

}  // namespace velor::input
