// sin, cos, exp and cbrt correctly rounded, at arguments where the C
// libraries of Linux and Windows are not: cell angles in single-precision
// radians (cos 90° is 300 units in the last place off on Windows),
// temperature factors and the limits of resolution shells.  Run on both
// systems, so neither library can creep back in.
#include <gtest/gtest.h>

#include <cmath>

#include "model/portable_math.hpp"

namespace velor::model {
namespace {

TEST(PortableMath, CorrectlyRoundedWhereTheCLibrariesAreNot) {
    struct Case {
        double (*f)(double);
        double x, expected;
    };
    const Case cases[] = {
        {portable::cos, 0x1.921fb6p+0, -0x1.777a5cf72ceccp-25},      // 90°
        {portable::sin, 0x1.bc1f9cp+0, 0x1.f91ffc44561d3p-1},        // 99.4°
        {portable::sin, 0x1.f4e066p-1, 0x1.a8b8cff1203e1p-1},        // 56.051°
        {portable::cos, 0x1.06dc04p+0, 0x1.08fe2a126cc79p-1},        // 58.831°
        {portable::sin, 0x1.09d014p+1, 0x1.bfdfe55d04e2bp-1},        // 118.984°
        {portable::exp, -0x1.8548a9bcfd4bfp-9, 0x1.fe7b4b2e428ecp-1},
        {portable::exp, -0x1.702e6644d8772p-8, 0x1.fd21b3bb6551bp-1},
        {portable::exp, -30.5, 0x1.ff3864232b407p-45},
        {portable::cbrt, 0.1, 0x1.db4c7760bcff3p-2},
        {portable::cbrt, 0.7, 0x1.c69b5a72f1a99p-1},
        {portable::log, 0.3, -0x1.34378fcbda721p+0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.f(c.x), c.expected) << std::hexfloat << c.x;
    // The powers of ten as the doubles nearest them, whatever log10 says.
    EXPECT_EQ(portable::decimal_exponent(0.1), -1);
    EXPECT_EQ(portable::decimal_exponent(std::nextafter(0.1, 0.0)), -2);
    EXPECT_EQ(portable::decimal_exponent(std::nextafter(1e22, 0.0)), 21);
}

}  // namespace
}  // namespace velor::model
