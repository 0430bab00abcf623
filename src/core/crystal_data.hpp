// The crystal data of a run, as the refinement's NAME.res and NAME.fcf
// give them.
#pragma once

namespace velor::core {

struct CrystalData {
    float lambda = 0.0f;  // wavelength, Å
    float a = 0.0f, b = 0.0f, c = 0.0f;  // cell lengths, Å
    float alpha_deg = 0.0f, beta_deg = 0.0f, gamma_deg = 0.0f;  // cell angles, degrees
    double lambda_sq = 0.0;  // λ·λ, exact in double precision
    float osf = 0.0f;        // overall scale factor, first FVAR value
    float f000 = 0.0f;       // F(000)
    float u = 0.0f;          // fixed mean-square displacement, Å²
};

}  // namespace velor::core
