// Numbers of the report page as text.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "report/svg.hpp"

namespace velor::report::svg {
namespace {

// The exact decimal value of the double nearest 1e300, 301 digits.
const std::string k1e300 =
    "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864"
    "0437044438328838781769425232353604305756447921847867069828483872009265758037378302337947880900593689"
    "5323497079994508111903896764088007465274278014249457925878882005684283811566947219638686545940054016"
    "0";

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
