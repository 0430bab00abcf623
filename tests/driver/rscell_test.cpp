// Crystal data that no crystal can have stop the run before the fit, with
// what is wrong and the values as read: each of the model's reasons.
#include <gtest/gtest.h>

#include <limits>

#include "driver/stages.hpp"
#include "platform/failure.hpp"

namespace velor::driver {
namespace {

core::CrystalData cell(float a, float alpha, float beta, float gamma, float lambda = 0.71073f, float osf = 0.25f) {
    return {.lambda = lambda, .a = a, .b = 12.0f, .c = 15.0f, .alpha_deg = alpha, .beta_deg = beta, .gamma_deg = gamma,
            .lambda_sq = static_cast<double>(lambda) * static_cast<double>(lambda), .osf = osf, .f000 = 0, .u = 0};
}

TEST(Rscell, ImpossibleCrystalDataStopTheRun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        core::CrystalData crystal;
        std::string message;
    } cases[] = {
        {cell(10, 90, 100, 90), "accepted"},
        {cell(nan, 90, 90, 90),
         "impossible unit cell       NaN   12.0000   15.0000    90.000    90.000    90.000: a cell length is not a "
         "number greater than zero"},
        {cell(10, 90, 180, 90),
         "impossible unit cell   10.0000   12.0000   15.0000    90.000   180.000    90.000: a cell angle is not "
         "between 0 and 180 degrees"},
        {cell(10, 60, 60, 150),
         "impossible unit cell   10.0000   12.0000   15.0000    60.000    60.000   150.000: the cell angles enclose "
         "no volume"},
        {cell(3e38f, 90, 90, 90),
         "impossible unit cell**********   12.0000   15.0000    90.000    90.000    90.000: its volume is out of range"},
        {cell(10, 90, 90, 90, -0.71073f),
         "impossible wavelength  -0.71073 on the cell line: it must be a number greater than zero"},
        {cell(10, 90, 90, 90, 0.71073f, 0),
         "impossible overall scale factor   0.00000 (the first FVAR value): it must be a number greater than zero"},
        // The first reason in this order, of several.
        {cell(10, 179.9f, 90, 90, -1, -1),
         "impossible wavelength  -1.00000 on the cell line: it must be a number greater than zero"},
    };
    for (const auto& c : cases) {
        std::string message = "accepted";
        try {
            rscell(c.crystal);
        } catch (const RunStop& e) {
            message = e.what();
        }
        EXPECT_EQ(message, c.message);
    }
}

}  // namespace
}  // namespace velor::driver
