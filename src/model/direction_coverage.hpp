// Which directions of the scattering vector the data sample.
//
// The fitted S of a direction far from every reflection is extrapolated: the
// model's quadratic forms in the direction then say what they like, and a
// correction can run to zero or below there.  A direction is sampled when a
// reflection of the fit lies within the coverage angle of it; a reflection
// and its opposite count the same, since S(h) = S(−h).  The directions are
// those of the maps (correction_surface.hpp): the hemisphere z ≥ 0 in the
// Lambert equal-area projection onto the unit disc.
//
// The pass marks each reflection's direction in a bitmap of 256 × 256
// cells over the projection's square (8 KiB, whatever the size of the
// list); a direction is then sampled when the centre of a marked cell lies
// within the angle.  The marked centre lies within 0.63° of the reflection
// (half a cell's diagonal, stretched at most twice by the projection at
// the rim), the bitmap's resolution.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/fit_result.hpp"
#include "model/geometry.hpp"
#include "model/scale_model.hpp"
#include "model/scale_uncertainty.hpp"

namespace velor::model {

class DirectionBitmap {
public:
    static constexpr int kSide = 256;

    explicit DirectionBitmap(const ReciprocalCell& rc);

    // A reflection of the fit.  Inline: the pass calls it for each.
    void add(std::int32_t h, std::int32_t k, std::int32_t l) {
        const double dh = h, dk = k, dl = l;
        // The scattering vector in the maps' frame (reciprocal_axes: a*
        // along x, b* in the xy plane), its axes an upper triangle.
        const double x = (dh * ax_ + dk * bx_) + dl * cx_;
        const double y = dk * by_ + dl * cy_;
        const double z = dl * cz_;
        const double length = std::sqrt((x * x + y * y) + z * z);
        if (!(length > 0.0)) return;
        // lambert_point of the unit vector, the lengths folded in: the upper
        // one of ±h, its horizontal part shrunk by 1/√(1 + |z|/|h|).
        const double shrink = (z < 0.0 ? -1.0 : 1.0) / std::sqrt(length * (length + std::fabs(z)));
        mark(cell_of(x * shrink), cell_of(-y * shrink));
    }
    long marked() const { return marked_; }
    // The bits, row by row: cell (row, column) is bit i % 64 of word i / 64,
    // i = row·256 + column.
    const std::array<std::uint64_t, kSide * kSide / 64>& words() const { return bits_; }
    bool is_marked(int row, int column) const {
        const auto i = static_cast<std::size_t>(row * kSide + column);
        return (bits_[i / 64] >> (i % 64) & 1u) != 0;
    }
    // The centre of a cell's column or row on the projection's plane; row 0
    // at the top (y = +1), as the maps' grids.
    static double x_of(int column) { return -1.0 + (2.0 * column + 1.0) / kSide; }
    static double y_of(int row) { return 1.0 - (2.0 * row + 1.0) / kSide; }

private:
    // The column of x, or the row of −y, on the plane.
    static int cell_of(double v) {
        const double place = (v + 1.0) * (0.5 * kSide);
        return place < 0.0 ? 0 : place >= kSide - 1 ? kSide - 1 : static_cast<int>(place);
    }
    void mark(int column, int row) {
        const auto i = static_cast<std::size_t>(row * kSide + column);
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        if ((bits_[i / 64] & bit) == 0) ++marked_;
        bits_[i / 64] |= bit;
    }

    double ax_, bx_, cx_, by_, cy_, cz_;
    std::array<std::uint64_t, kSide * kSide / 64> bits_{};
    long marked_ = 0;
};

// The coverage angle, in radians, from the number of marked cells N: twice
// the mean spacing of N directions spread evenly over the hemisphere (2π
// sr), 2·√(2π/N), within 5° and 25°.  For directions scattered at random
// with that density, a direction is left without a reflection within the
// angle with probability exp(−4π), 3·10⁻⁶; the gaps of a lattice's
// directions around its low-index rows, about 1/H radians for indices up to
// H, stay inside it too (for a cell of similar edges: within twice the
// spacing up to H = 12, within 5° beyond).  Below 5° the sampled area would show the lattice's
// holes rather than the data's reach; above 25° it would call half the
// hemisphere sampled from a few reflections.  A data set that samples half
// the hemisphere (the asymmetric unit of a monoclinic crystal) has its
// reflections twice as dense there, and the angle is √2 times what that
// density alone would give.
double coverage_angle(long marked_cells);

class Coverage {
public:
    explicit Coverage(const DirectionBitmap& bitmap);

    double angle() const { return angle_; }
    // Whether a direction (a unit vector, either sign) is sampled.
    bool sampled(const Vector3& unit) const;
    // The sampled share of the hemisphere: of the cells of a 128 × 128 grid
    // whose centre lies on the disc, those whose direction is sampled.  The
    // projection keeps areas, so this is the share of the solid angle, to
    // the grid's resolution.
    double sampled_share() const;
    // The cells of a map's grid (SurfaceGrid of this size): 1 where the
    // direction of the cell is sampled, 0 where not and off the disc.  A cell
    // beyond the rim but within a cell's diagonal of it, which the map fills
    // with S on the nearest point of the rim, takes that point's verdict.
    std::vector<std::uint8_t> mask(int size) const;

private:
    bool sampled_within(const std::array<double, 2>& point, const Vector3& unit, double reach, bool exact) const;

    DirectionBitmap bitmap_;
    double angle_, cos_angle_;
    // The marked cells (row·256 + column), block by block of 16 × 16 cells:
    // those of block b are cells_[block_start_[b]] up to block_start_[b + 1].
    static constexpr int kBlock = 16, kBlocks = DirectionBitmap::kSide / kBlock;
    std::vector<std::uint16_t> cells_;
    std::array<std::uint32_t, kBlocks * kBlocks + 1> block_start_{};
};

// What the fitted S does over the directions at one sin θ: its extremes over
// the sampled directions and over all, and σ(S)/S over the sampled ones, on
// the cells of a map's grid.  NaN where there is nothing to take them from
// (no sampled cell; σ without a variance).
struct DirectionFigures {
    double sin_theta = 0.0;
    double sampled_min = 0.0, sampled_max = 0.0;
    double all_min = 0.0, all_max = 0.0;
    double median_relative_sigma = 0.0, largest_relative_sigma = 0.0;
};

// The directions of a map's grid at one sin θ, each cell with the geometry
// of the scattering vector in its direction (as correction_surface forms
// it) and whether the direction is sampled: formed once, then the figures
// of any fit on them.
class MapDirections {
public:
    // `mask` from Coverage::mask(size).
    MapDirections(const std::vector<std::uint8_t>& mask, const ReciprocalCell& rc, double lambda_sq,
                  double sin_theta, int size);

    // `variance` with its factor χ²/(n − p), or nullptr to leave σ out.
    DirectionFigures figures(const ScaleModel& model, const core::Coefficients& x, const ScaleVariance* variance,
                             double variance_factor) const;

private:
    struct Cell {
        Geometry g;
        bool sampled;
    };
    double sin_theta_;
    std::vector<Cell> cells_;  // those of the grid that hold S, row by row
};

inline DirectionFigures direction_figures(const Coverage& coverage, const ReciprocalCell& rc, const ScaleModel& model,
                                          const core::Coefficients& x, const ScaleVariance* variance,
                                          double variance_factor, double sin_theta, int size) {
    return MapDirections(coverage.mask(size), rc, model.lambda_sq(), sin_theta, size)
        .figures(model, x, variance, variance_factor);
}

}  // namespace velor::model
