// Numbers of the report page as text.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "report/svg.hpp"

namespace velor::report::svg {
namespace {

// The exact decimal value of the double nearest 1e300, 301 digits.
const std::string k1e300 = "100000000000000005250476025520442024870446858110815915491585411551180245798890819578637137508044"
    "786404370444383288387817694252323536043057564479218478670698284838720092657580373783023379478809"
    "005936895323497079994508111903896764088007465274278014249457925878882005684283811566947219638686"
    "5459400540160";

// Fixed notation for any double and any number of decimals (1e300 with
// 120 takes 422 characters), never "-0"; fixed() drops trailing zeros and
// a bare point.
TEST(Svg, DecimalAndFixed) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        int decimals;
        std::string decimal, fixed;
    } cases[] = {
        {0.9, 3, "0.900", "0.9"},
        {-0.0001, 3, "0.000", "0"},
        {-0.25, 2, "-0.25", "-0.25"},
        {12.5, 0, "12", "12"},  // to even
        {1e300, 120, k1e300 + "." + std::string(120, '0'), k1e300},
        {inf, 3, "inf", "inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decimal(c.value, c.decimals), c.decimal) << c.value << " " << c.decimals;
        EXPECT_EQ(fixed(c.value, c.decimals), c.fixed) << c.value << " " << c.decimals;
    }
}

}  // namespace
}  // namespace velor::report::svg
