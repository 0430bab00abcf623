// What a run that succeeded should still make its user look twice at.
#pragma once

#include <string>
#include <vector>

#include "input/file_names.hpp"
#include "model/correction.hpp"
#include "model/normal_equations.hpp"

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

// Why the run must stop before the fit is solved: reflections of NAME.fcf
// lie beyond sin θ = 1 at the wavelength and cell of NAME.res.  Empty when
// none does.
std::string beyond_sin_theta_one_message(const input::FileNames& names, const model::BeyondSinThetaOne& beyond);

}  // namespace velor::driver
