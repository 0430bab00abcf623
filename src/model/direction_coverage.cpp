#include "model/direction_coverage.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

#include "model/correction_surface.hpp"
#include "model/portable_math.hpp"

namespace velor::model {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kMinAngle = 5.0 * kDegree, kMaxAngle = 25.0 * kDegree;
constexpr int kShareGrid = 128;

// The direction of a point of the projection's plane; a point beyond the rim
// stands for the nearest point of the rim.
Vector3 direction_at(double x, double y) {
    const double r = std::sqrt(x * x + y * y);
    if (r > 1.0) x /= r, y /= r;
    return lambert_direction(x, y);
}

double dot(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

DirectionBitmap::DirectionBitmap(const ReciprocalCell& rc) {
    const auto [a, b, c] = reciprocal_axes(rc);
    ax_ = a[0], bx_ = b[0], cx_ = c[0], by_ = b[1], cy_ = c[1], cz_ = c[2];
}

double coverage_angle(long marked_cells) {
    if (marked_cells <= 0) return kMaxAngle;
    const double spacing = std::sqrt(2.0 * std::numbers::pi / static_cast<double>(marked_cells));
    return std::clamp(2.0 * spacing, kMinAngle, kMaxAngle);
}

Coverage::Coverage(const DirectionBitmap& bitmap)
    : bitmap_(bitmap), angle_(coverage_angle(bitmap.marked())), cos_angle_(portable::cos(angle_)) {
    constexpr int side = DirectionBitmap::kSide;
    // Each marked cell's block, from the set bits of the bitmap's words.
    std::vector<std::uint16_t> marked;
    marked.reserve(static_cast<std::size_t>(bitmap.marked()));
    for (std::size_t word = 0; word < bitmap.words().size(); ++word)
        for (std::uint64_t bits = bitmap.words()[word]; bits != 0; bits &= bits - 1)
            marked.push_back(static_cast<std::uint16_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
    const auto block_of = [](std::uint16_t cell) {
        const int row = cell / side, column = cell % side;
        return static_cast<std::size_t>((row / kBlock) * kBlocks + column / kBlock);
    };
    for (const std::uint16_t cell : marked) ++block_start_[block_of(cell) + 1];
    for (std::size_t b = 1; b < block_start_.size(); ++b) block_start_[b] += block_start_[b - 1];
    cells_.resize(marked.size());
    auto next = block_start_;
    for (const std::uint16_t cell : marked) cells_[next[block_of(cell)]++] = cell;
}

// Whether a marked cell within `reach` of `point` on the plane has its
// centre's direction within the angle of `unit`.  The projection shrinks no
// distance between directions of the hemisphere by more than half nor
// stretches any (its radial scale runs from 1/√2 at the centre to 1/2 at
// the rim, its tangential one from 1/√2 to 1), so a centre within half the
// angle on the plane is within the angle, and one beyond the angle on the
// plane is beyond it.  Across the rim, where a direction's neighbours lie
// on the far side of the disc, those bounds do not hold: there the caller
// widens `reach`, and `exact` sends every cell to the direct test.  A cell
// whose centre lies beyond the rim stands for the nearest point of the rim;
// the window is a cell wider for them.
bool Coverage::sampled_within(const std::array<double, 2>& point, const Vector3& unit, double reach,
                              bool exact) const {
    constexpr int side = DirectionBitmap::kSide;
    const double window = reach + 2.0 / side;
    const auto cell = [](double v) {
        return std::clamp(static_cast<int>(std::floor((v + 1.0) * (0.5 * side))), 0, side - 1);
    };
    const int column_lo = cell(point[0] - window), column_hi = cell(point[0] + window);
    const int row_lo = cell(-point[1] - window), row_hi = cell(-point[1] + window);
    const double reach_sq = reach * reach, sure_sq = 0.25 * angle_ * angle_;
    // Where the data are dense, a marked cell next to the point's own
    // settles it: first the 5 × 5 cells around it.
    const auto plane_sq_of = [&](int row, int column) {
        double x = DirectionBitmap::x_of(column), y = DirectionBitmap::y_of(row);
        if (const double r = std::sqrt(x * x + y * y); r > 1.0) x /= r, y /= r;
        const double dx = x - point[0], dy = y - point[1];
        return dx * dx + dy * dy;
    };
    if (!exact) {
        const int row = cell(-point[1]), column = cell(point[0]);
        for (int r = std::max(0, row - 2); r <= std::min(side - 1, row + 2); ++r)
            for (int c = std::max(0, column - 2); c <= std::min(side - 1, column + 2); ++c)
                if (bitmap_.is_marked(r, c) && plane_sq_of(r, c) <= sure_sq) return true;
    }
    for (int block_row = row_lo / kBlock; block_row <= row_hi / kBlock; ++block_row) {
        for (int block_column = column_lo / kBlock; block_column <= column_hi / kBlock; ++block_column) {
            const auto block = static_cast<std::size_t>(block_row * kBlocks + block_column);
            for (std::uint32_t i = block_start_[block]; i < block_start_[block + 1]; ++i) {
                const int row = cells_[i] / side, column = cells_[i] % side;
                double x = DirectionBitmap::x_of(column), y = DirectionBitmap::y_of(row);
                if (const double r = std::sqrt(x * x + y * y); r > 1.0) x /= r, y /= r;
                const double dx = x - point[0], dy = y - point[1];
                const double plane_sq = dx * dx + dy * dy;
                if (!exact) {
                    if (plane_sq > reach_sq) continue;
                    if (plane_sq <= sure_sq) return true;
                }
                if (std::fabs(dot(unit, lambert_direction(x, y))) >= cos_angle_) return true;
            }
        }
    }
    return false;
}

bool Coverage::sampled(const Vector3& unit) const {
    const Vector3 upper = unit[2] < 0.0 ? Vector3{-unit[0], -unit[1], -unit[2]} : unit;
    const std::array<double, 2> point = lambert_point(upper);
    if (sampled_within(point, upper, angle_, false)) return true;
    // Within the angle of the rim, the neighbours below it are the opposites
    // of directions on the far side of the disc.  They lie within 2·angle of
    // the rim point nearest the opposite, which lies within 1 − √(1 − z) ≤ z
    // ≤ angle of −point on the plane: a reach of three times the angle holds
    // them.
    if (upper[2] >= portable::sin(angle_)) return false;
    return sampled_within({-point[0], -point[1]}, upper, 3.0 * angle_, true);
}

double Coverage::sampled_share() const {
    long on_disc = 0, sampled_cells = 0;
    for (int row = 0; row < kShareGrid; ++row) {
        const double y = 1.0 - (2.0 * row + 1.0) / kShareGrid;
        for (int column = 0; column < kShareGrid; ++column) {
            const double x = -1.0 + (2.0 * column + 1.0) / kShareGrid;
            if (x * x + y * y > 1.0) continue;
            ++on_disc;
            if (sampled(lambert_direction(x, y))) ++sampled_cells;
        }
    }
    return static_cast<double>(sampled_cells) / static_cast<double>(on_disc);
}

std::vector<std::uint8_t> Coverage::mask(int size) const {
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 0);
    const double rim_reach = 1.0 + 2.0 * std::sqrt(2.0) / size;  // as correction_surface
    for (int row = 0; row < size; ++row) {
        const double y = 1.0 - (2.0 * row + 1.0) / size;
        for (int column = 0; column < size; ++column) {
            const double x = -1.0 + (2.0 * column + 1.0) / size;
            if (std::sqrt(x * x + y * y) > rim_reach) continue;
            cells[static_cast<std::size_t>(row * size + column)] = sampled(direction_at(x, y)) ? 1 : 0;
        }
    }
    return cells;
}

MapDirections::MapDirections(const std::vector<std::uint8_t>& mask, const ReciprocalCell& rc, double lambda_sq,
                             double sin_theta, int size)
    : sin_theta_(sin_theta) {
    const GeometryOfReflections geometry(rc, lambda_sq);
    const double lambda = std::sqrt(lambda_sq);
    const double rim_reach = 1.0 + 2.0 * std::sqrt(2.0) / size;  // as correction_surface
    const SurfaceGrid grid{size, sin_theta, {}};
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            const double x = grid.x_of(column), y = grid.y_of(row);
            if (std::sqrt(x * x + y * y) > rim_reach) continue;  // off the disc
            const auto [h, k, l] = indices_along(rc, direction_at(x, y), sin_theta, lambda);
            cells_.push_back({geometry(h, k, l), mask[static_cast<std::size_t>(row * size + column)] != 0});
        }
    }
}

DirectionFigures MapDirections::figures(const ScaleModel& model, const core::Coefficients& x,
                                        const ScaleVariance* variance, double variance_factor) const {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    DirectionFigures f{sin_theta_, nan, nan, nan, nan, nan, nan};
    RelativeUncertainty relative;
    const auto lower = [](double& extreme, double v) { if (!(extreme <= v)) extreme = v; };
    const auto higher = [](double& extreme, double v) { if (!(extreme >= v)) extreme = v; };
    for (const Cell& cell : cells_) {
        const double s = model.evaluate(cell.g, x);
        if (std::isnan(s)) continue;
        lower(f.all_min, s), higher(f.all_max, s);
        if (!cell.sampled) continue;
        lower(f.sampled_min, s), higher(f.sampled_max, s);
        if (variance != nullptr) relative.add(variance->unit_variance(cell.g), s);
    }
    if (variance != nullptr && relative.count() > 0) {
        const RelativeUncertainty::Figures r = relative.scaled(variance_factor);
        f.median_relative_sigma = r.median;
        f.largest_relative_sigma = r.largest;
    }
    return f;
}

}  // namespace velor::model
