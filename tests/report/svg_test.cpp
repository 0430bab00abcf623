// Numbers of the report page as text.
#include <gtest/gtest.h>

#include <string>

#include "report/svg.hpp"

namespace velor::report::svg {
namespace {

// Rounded as the report rounds, never "-0"; fixed() drops trailing zeros
// and a bare point.
TEST(Svg, DecimalAndFixed) {
    const struct {
        double value;
        int decimals;
        const char *decimal, *fixed;
    } cases[] = {
        {0.9, 3, "0.900", "0.9"}, {-0.0001, 3, "0.000", "0"}, {-0.25, 2, "-0.25", "-0.25"},
        {12.25, 1, "12.3", "12.3"}, {12.5, 0, "13", "13"}, {-0.4, 0, "0", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decimal(c.value, c.decimals), c.decimal) << c.value << " " << c.decimals;
        EXPECT_EQ(fixed(c.value, c.decimals), c.fixed) << c.value << " " << c.decimals;
    }
}

}  // namespace
}  // namespace velor::report::svg
