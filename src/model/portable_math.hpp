// sin, cos and exp with the same bits on every system.  Those of the C
// libraries are not correctly rounded, and Linux's and Windows' differ: in
// the last bit for about one cell angle in 350, and cos 90° by 300 units in
// the last place.  These use IEEE-754 +, -, * and / only (the project
// compiles with -ffp-contract=off, so no fused multiply-add), in
// double-double arithmetic: about 100 bits before the final rounding, so
// the result is the correctly rounded one unless the exact value lies that
// close to a rounding boundary.  That holds for sin and cos of |x| < 2^20
// and for exp but where its result is subnormal; beyond, they are still the
// same everywhere.  cbrt starts from the C library's, within a few units
// in the last place, and moves to the double whose cube, in double-double
// arithmetic, is nearest x: the same result from either library; log
// takes one Newton step from the C library's value with this exp.
#pragma once

namespace velor::model::portable {

double sin(double x);
double cos(double x);
double exp(double x);
double cbrt(double x);  // for x of normal size
double log(double x);

// For the report's scales: the double nearest 10^e, and floor(log10 x) for
// finite x > 0 as the e with power_of_ten(e) <= x < power_of_ten(e + 1).
double power_of_ten(int e);
int decimal_exponent(double x);

}  // namespace velor::model::portable
