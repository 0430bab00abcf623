#include "model/correction_surface.hpp"

#include <cmath>
#include <limits>

namespace velor::model {

std::array<double, 2> lambert_point(const Vector3& unit) {
    // A unit vector with z = 1 − r² lies at radius r; its horizontal part,
    // of length r·√(2 − r²) = r·√(1 + z), shrinks to length r.
    const double sign = unit[2] < 0.0 ? -1.0 : 1.0;
    const double shrink = 1.0 / std::sqrt(1.0 + sign * unit[2]);
    return {sign * unit[0] * shrink, sign * unit[1] * shrink};
}

Vector3 lambert_direction(double x, double y) {
    const double r_sq = x * x + y * y;
    const double grow = std::sqrt(2.0 - r_sq);
    return {x * grow, y * grow, 1.0 - r_sq};
}

SurfaceGrid correction_surface(const ReciprocalCell& rc, const ScaleModel& model, const core::Coefficients& coefficients,
                               double sin_theta, int size) {
    SurfaceGrid grid{size, sin_theta, {}};
    grid.s.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    const GeometryOfReflections geometry(rc, model.lambda_sq());
    const double lambda = std::sqrt(model.lambda_sq());
    const double rim_reach = 1.0 + 2.0 * std::sqrt(2.0) / size;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            double x = grid.x_of(column), y = grid.y_of(row);  // on the map
            const double r = std::sqrt(x * x + y * y);
            if (r > rim_reach) {
                grid.s.push_back(std::numeric_limits<double>::quiet_NaN());
                continue;
            }
            if (r > 1.0) x /= r, y /= r;
            const auto [h, k, l] = indices_along(rc, lambert_direction(x, y), sin_theta, lambda);
            grid.s.push_back(model.evaluate(geometry(h, k, l), coefficients));
        }
    }
    return grid;
}

GridExtremes extremes(const SurfaceGrid& grid) {
    GridExtremes e;
    double smallest = std::numeric_limits<double>::infinity(), largest = -smallest;
    for (int row = 0; row < grid.size; ++row) {
        for (int column = 0; column < grid.size; ++column) {
            const double s = grid.at(row, column);
            if (s < smallest) smallest = s, e.min_row = row, e.min_column = column;
            if (s > largest) largest = s, e.max_row = row, e.max_column = column;
        }
    }
    return e;
}

}  // namespace velor::model
