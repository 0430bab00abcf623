// Numbers of the report page as text.
#include <gtest/gtest.h>

#include <string>

#include "report/svg.hpp"

namespace velor::report::svg {
namespace {

// Coordinates and labels: rounded as the report rounds, without trailing
// zeros or a bare point, never "-0".
TEST(Svg, Fixed) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {0.9, 3, "0.9"}, {-0.0001, 3, "0"}, {-0.25, 2, "-0.25"}, {12.25, 1, "12.3"}, {12.0, 2, "12"}, {-0.4, 0, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(fixed(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
}

}  // namespace
}  // namespace velor::report::svg
