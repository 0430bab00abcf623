// The scale model as a function of direction: S for a scattering vector of
// any direction and length, and a grid of it over an equal-area map of the
// directions, for the report's pictures of the correction.
//
// The tensor T is quadratic in the indices, so S(h) = S(−h): a hemisphere
// of directions shows every value.  The map is the Lambert azimuthal
// equal-area projection of the hemisphere z ≥ 0 onto the unit disc, in the
// Cartesian frame of reciprocal space with x along a*, y in the plane of
// a* and b*, and z along c (perpendicular to a* and b*).  Equal areas of
// the map hold equal solid angles, so a large patch of S means a large
// share of the reflections.
#pragma once

#include <array>
#include <vector>

#include "core/fit_result.hpp"
#include "model/geometry.hpp"
#include "model/scale_model.hpp"

namespace velor::model {

// The projection: a direction (either of ±unit, whichever lies in the
// upper hemisphere) to a point of the unit disc, and back.  The disc's
// rim is the plane of a* and b*, its centre the direction of c.
std::array<double, 2> lambert_point(const Vector3& unit);
Vector3 lambert_direction(double x, double y);  // x² + y² ≤ 1

// S on a square grid of size × size cells over [−1, 1]², row 0 at the top
// (y = +1), at a fixed sin θ: each cell holds S in the direction of its
// centre.  A cell whose centre lies outside the disc but within a cell's
// diagonal of it holds S on the nearest point of the rim, so that a picture
// clipped to the disc has no gap at its edge; the cells further out hold
// NaN.
struct SurfaceGrid {
    int size = 0;
    double sin_theta = 0.0;
    std::vector<double> s;  // row by row

    double at(int row, int column) const { return s[static_cast<std::size_t>(row * size + column)]; }
    // The centre of a cell on the disc's plane.
    double x_of(int column) const { return -1.0 + (2.0 * column + 1.0) / size; }
    double y_of(int row) const { return 1.0 - (2.0 * row + 1.0) / size; }
};

SurfaceGrid correction_surface(const ReciprocalCell& rc, const ScaleModel& model, const core::Coefficients& coefficients,
                               double sin_theta, int size);

// The cells of the smallest and the largest S (the first in row order of
// equal ones); {−1, −1} for a grid without a number.
struct GridExtremes {
    int min_row = -1, min_column = -1, max_row = -1, max_column = -1;
};
GridExtremes extremes(const SurfaceGrid& grid);

}  // namespace velor::model
