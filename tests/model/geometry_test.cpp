#include <gtest/gtest.h>

#include <limits>

#include "model/reciprocal_cell.hpp"
#include "stops/run_stop.hpp"

namespace velor::model {
namespace {

// A cell with b = 12 and c = 15 Å.
input::CrystalData cell(float a, float alpha, float beta, float gamma, float lambda = 0.71073f, float osf = 0.25f) {
    return {.lambda = lambda, .a = a, .b = 12.0f, .c = 15.0f, .alpha_deg = alpha, .beta_deg = beta, .gamma_deg = gamma,
            .lambda_sq = static_cast<double>(lambda) * static_cast<double>(lambda), .osf = osf, .f000 = 0, .u = 0};
}

// Index products are 32-bit integers: beyond 46340² they wrap, the same
// way on every machine.
TEST(ReflectionGeometry, IndexProductsWrapIn32Bits) {
    const ReciprocalCell rc = rscell(cell(10, 90, 100, 90));
    const Geometry g = reflection_geometry(rc, 1.0, 46341, 1, 0);
    EXPECT_EQ(g.t[0], 0.25 * rc.a * rc.a * -2147479015.0);  // 46341² − 2³²
    EXPECT_EQ(g.t[3], 0.5 * rc.a * rc.b * 46341.0);
}

// Crystal data that are no crystal stop the run, each for its reason.
TEST(Rscell, ImpossibleCrystalDataStopTheRun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::string bad_cell = "impossible unit cell", length = "a cell length is not a number greater than zero",
                      angle = "a cell angle is not between 0 and 180 degrees", flat = "the cell angles enclose no volume",
                      positive = "it must be a number greater than zero";
    const struct {
        input::CrystalData crystal;
        std::string kind, reason;
    } cases[] = {
        {cell(0, 90, 90, 90), bad_cell, length},       {cell(nan, 90, 90, 90), bad_cell, length},
        {cell(10, 0, 90, 90), bad_cell, angle},        {cell(10, 90, 180, 90), bad_cell, angle},
        {cell(10, 90, nan, 90), bad_cell, angle},      {cell(10, 120, 120, 120), bad_cell, flat},
        {cell(10, 60, 60, 150), bad_cell, flat},       {cell(10, 90, 90, 90, -0.71073f), "impossible wavelength", positive},
        {cell(10, 90, 90, 90, 0.71073f, 0), "impossible overall scale factor", positive},
        {cell(10, 90, 90, 90, 0.71073f, nan), "impossible overall scale factor", positive},
    };
    for (const auto& c : cases) {
        std::string message = "accepted";
        try {
            rscell(c.crystal);
        } catch (const RunStop& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with(c.kind) && message.ends_with(c.reason)) << message;
    }
}

}  // namespace
}  // namespace velor::model
