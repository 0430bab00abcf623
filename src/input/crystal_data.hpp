// The crystal data of a run, from the refinement's NAME.res and NAME.fcf.
#pragma once

#include <string>

#include "textio/output_channel.hpp"

namespace velor::input {

struct CrystalData {
    float lambda = 0.0f;  // wavelength, Å
    float a = 0.0f, b = 0.0f, c = 0.0f;  // cell lengths, Å
    float alpha_deg = 0.0f, beta_deg = 0.0f, gamma_deg = 0.0f;  // cell angles, degrees
    double lambda_sq = 0.0;  // λ·λ, exact in double precision
    float osf = 0.0f;        // overall scale factor, first FVAR value
    float f000 = 0.0f;       // F(000)
    float u = 0.0f;          // fixed mean-square displacement, Å²
};

// Reads λ and the cell (the CELL line after TITL) and OSF (FVAR) from
// NAME.res, and F(000) from the header of NAME.fcf, which must be a LIST 4
// file.  A missing file is the missing-file stop; a file that cannot be
// read a fatal record error.
CrystalData read_crystal_data(const std::string& res_name, const std::string& fcf_name,
                              textio::OutputChannel& console);

}  // namespace velor::input
