#include "model/correction_surface.hpp"

#include <cmath>
#include <limits>

#include "model/correction.hpp"

namespace velor::model {

std::array<Vector3, 3> reciprocal_axes(const ReciprocalCell& rc) {
    const double sin_gamma = std::sqrt(1.0 - rc.cos_gamma * rc.cos_gamma);
    // c* from its projections on a* and on the unit vector of y, and the
    // rest of its unit length along z.
    const double cy = (rc.cos_alpha - rc.cos_beta * rc.cos_gamma) / sin_gamma;
    const double cz = std::sqrt(1.0 - rc.cos_beta * rc.cos_beta - cy * cy);
    return {
        {{rc.a, 0.0, 0.0}, {rc.b * rc.cos_gamma, rc.b * sin_gamma, 0.0}, {rc.c * rc.cos_beta, rc.c * cy, rc.c * cz}}};
}

Vector3 indices_along(const ReciprocalCell& rc, const Vector3& unit, double sin_theta, double lambda) {
    // h·a* + k·b* + l·c* = v, the matrix of the axes upper triangular.
    const auto [a, b, c] = reciprocal_axes(rc);
    const double length = 2.0 * sin_theta / lambda;
    const double l = unit[2] * length / c[2];
    const double k = (unit[1] * length - c[1] * l) / b[1];
    const double h = (unit[0] * length - b[0] * k - c[0] * l) / a[0];
    return {h, k, l};
}

Geometry direction_geometry(const ReciprocalCell& rc, double lambda_sq, const Vector3& hkl) {
    const auto [h, k, l] = hkl;
    Geometry g;
    g.t[0] = 0.25 * rc.a * rc.a * (h * h);
    g.t[1] = 0.25 * rc.b * rc.b * (k * k);
    g.t[2] = 0.25 * rc.c * rc.c * (l * l);
    g.t[3] = 0.5 * rc.a * rc.b * (h * k);
    g.t[4] = 0.5 * rc.a * rc.c * (h * l);
    g.t[5] = 0.5 * rc.b * rc.c * (k * l);
    const double sum =
        ((((g.t[0] + g.t[1]) + g.t[2]) + g.t[3] * rc.cos_gamma) + g.t[4] * rc.cos_beta) + g.t[5] * rc.cos_alpha;
    g.sin2 = sum * lambda_sq;
    return g;
}

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

SurfaceGrid correction_surface(const ReciprocalCell& rc, double lambda_sq, const Solution& solution,
                               int parameter_count, double sin_theta, int size) {
    SurfaceGrid grid{size, sin_theta, {}};
    grid.s.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    const double lambda = std::sqrt(lambda_sq);
    const double rim_reach = 1.0 + 2.0 * std::sqrt(2.0) / size;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            double x = grid.x_of(column), y = grid.y_of(row);
            const double r = std::sqrt(x * x + y * y);
            if (r > rim_reach) {
                grid.s.push_back(std::numeric_limits<double>::quiet_NaN());
                continue;
            }
            if (r > 1.0) x /= r, y /= r;
            const Vector3 hkl = indices_along(rc, lambert_direction(x, y), sin_theta, lambda);
            grid.s.push_back(
                scale_factor(direction_geometry(rc, lambda_sq, hkl), solution, parameter_count, lambda_sq));
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
