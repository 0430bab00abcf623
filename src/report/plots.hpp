// The plots of the report page, each an SVG element drawn from the run
// summary.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "report/summary.hpp"

namespace velor::report {

// S of the sample of reflections against sin θ, with the mean S of each
// resolution shell.
std::string scale_against_resolution(const Summary& s);

// R before and after the correction in each resolution shell.
std::string r_by_shell(const Summary& s);

// The histogram of S, on a log scale of S.
std::string scale_histogram(const Summary& s);

// S by direction at three values of sin θ (the upper limits of the shells
// that hold the first tenth, the first half and all of the reciprocal
// volume), on one colour scale that the colour bar shows, taken from the
// directions the data sample; the others grey.  With each map, S and
// σ(S)/S over its sampled directions (absent without the figures of trust).
struct DirectionMaps {
    std::array<double, 3> sin_theta{};
    std::array<std::string, 3> maps;
    std::string colour_bar;
    std::array<std::optional<model::DirectionFigures>, 3> figures;
};
DirectionMaps direction_maps(const Summary& s, int grid_size = 64);

}  // namespace velor::report
