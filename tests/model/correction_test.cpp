#include <gtest/gtest.h>

#include <cmath>

#include "model/correction.hpp"

namespace velor::model {
namespace {

// S that is not a positive number is counted, and the smallest noted with
// its indices; one that is not a number only until a number turns up.  (The
// golden runs have the range of S and negative intensities in R.)
TEST(Statistics, UnphysicalScaleFactors) {
    Statistics st;
    const double nan = std::nan("");
    const struct { input::Reflection r; double s; } seen[] = {
        {{1, 0, 0, 1, 1, 1}, 0.9}, {{2, 0, 0, 1, 1, 1}, nan}, {{3, 0, 0, 1, 1, 1}, -0.2},
        {{4, 0, 0, 1, 1, 1}, 0.0}, {{5, 0, 0, 1, 1, 1}, -0.1}, {{6, 0, 0, 1, 1, 1}, HUGE_VAL}};
    for (const auto& c : seen) add_to_statistics(st, c.r, correct(c.r, c.s, 1.0), 1.0f);
    EXPECT_EQ(st.unphysical.count, 5);
    EXPECT_EQ(st.unphysical.smallest, -0.2);
    EXPECT_EQ(st.unphysical.h, 3);
}

}  // namespace
}  // namespace velor::model
