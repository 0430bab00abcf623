// What a run that succeeded should still make its user look twice at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/file_names.hpp"
#include "model/correction.hpp"

namespace velor::driver {

struct RunFacts {
    const input::FileNames& names;
    int parameter_count;
    long accepted;  // reflections that passed the screening
    const model::Statistics& statistics;
    bool twinned;   // NAME.res refines a twin
};

// The warnings, each one line of text without the "velor: warning: " in
// front, in a fixed order.
std::vector<std::string> run_warnings(const RunFacts& facts);

// Why the run must stop although the fit was made: the scale factor is not
// a positive number for some reflections.  Empty when it is for all.
std::string unphysical_scale_message(const model::UnphysicalScale& u);

// Reflections of NAME.fcf beyond sin θ = 1 at the wavelength and cell of
// NAME.res: how many, and the first of the list with its sin²θ (0 when it
// was not found again).
struct BeyondSinThetaOne {
    long count = 0;
    double sin2 = 0.0;
    std::int32_t h = 0, k = 0, l = 0;
};

// Why the run must stop before the fit is solved: such reflections mean
// that the two files do not belong together.
std::string beyond_sin_theta_one_message(const input::FileNames& names, const BeyondSinThetaOne& beyond);

}  // namespace velor::driver
