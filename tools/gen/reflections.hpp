// Which reflections a generated file contains.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "gen/crystal.hpp"

namespace velor::gen {

struct SelectionRequest {
    CrystalSystem system = CrystalSystem::monoclinic;
    CellData cell;
    ReciprocalCell rc;
    std::optional<double> dmin;         // all unique reflections with d >= dmin
    std::optional<std::int64_t> count;  // or the `count` of lowest angle
    bool axial_only = false;
};

struct Selection {
    std::vector<Miller> unique;  // one representative per Laue orbit, in file order
    double sin2theta_max = 0;    // largest sin^2(theta) among them
};

// In counting mode the sphere grows until it holds `count` unique reflections
// or reaches the limit of good data, sin(theta) = 0.95 or d = 0.5 A, whichever
// comes first; in the second case the file repeats them as symmetry
// equivalents and further measurements (see the generator). Beyond d = 0.5 A
// the Wilson falloff leaves intensities far below their sigma.
inline constexpr double kSinThetaCap = 0.95;
inline constexpr double kDminCap = 0.5;

Selection select_reflections(const SelectionRequest& req, const LaueGroup& laue);

}  // namespace velor::gen
