#include <gtest/gtest.h>

#include <cmath>

#include "model/correction.hpp"

namespace velor::model {
namespace {

TEST(Statistics, RangeStartsAtOneAndNaNIsIgnored) {
    Statistics st;
    const input::Reflection r{1, 0, 0, 100.0f, 81.0f, 1.0f};
    const float z1 = 4.0f;  // OSF = 0.5
    for (double s : {1.2, 1.1, std::nan("")}) add_to_statistics(st, r, correct(r, s, 4.0), z1);
    EXPECT_EQ(st.s_min, 1.0);
    EXPECT_EQ(st.s_max, 1.2);
    // Before: √(81/4) − √(100/4) = 4.5 − 5, three times.
    EXPECT_DOUBLE_EQ(st.n_before, 1.5);
    EXPECT_DOUBLE_EQ(st.d_before, 13.5);
    // A negative intensity counts by its magnitude.
    Statistics neg;
    add_to_statistics(neg, {1, 0, 0, 16.0f, -16.0f, 1.0f}, correct({1, 0, 0, 16.0f, -16.0f, 1.0f}, 1.0, 1.0), 1.0f);
    EXPECT_EQ(neg.d_before, 4.0);
    EXPECT_EQ(neg.n_after, 0.0);
}

// S that is not a positive number is counted, and the smallest noted with
// its indices; one that is not a number only until a number turns up.
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
