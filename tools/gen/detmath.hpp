// Elementary functions built from IEEE-754 +, -, *, / and exact scaling only.
//
// The C library's exp, log, sin and cos are not correctly rounded, and their
// last bit differs between C libraries. A generated file must be identical on
// every platform for a given seed, so the generator uses these instead. They
// are accurate to a few units in the last place, which is all that synthetic
// data need.
#pragma once

namespace velor::gen::detmath {

double exp(double x);
double log(double x);  // natural logarithm; x > 0

struct SinCos {
    double sin;
    double cos;
};
// Accurate for |x| up to a few times 2*pi (cell angles, Box-Muller-free code).
SinCos sincos(double x);

}  // namespace velor::gen::detmath
