// Writing single fields of a fixed-column record: Iw, Fw.d and Aw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velor::textio {

// Appends the integer right-justified in w columns, or w asterisks when the
// sign and digits do not fit.
void write_i(std::string& out, std::int64_t value, int width);

// Appends the value rounded to d decimals in w columns.  The rounding is
// that of the exact stored value: it is expanded to 40 significant decimal
// digits and rounded half away from zero at the last digit printed, so an
// exact tie such as 0.125 in F4.2 goes up to 0.13 (printf would give 0.12).
void write_f(std::string& out, double value, int width, int decimals);

// Appends text in w columns: right-justified when shorter, its leftmost w
// characters when longer.  A width of 0 writes the whole text.
void write_a(std::string& out, std::string_view text, int width);

// The same rounding always through the 40-digit expansion, never the quick
// path; for checking the quick path against.
std::string format_f_exact(double value, int width, int decimals);

// The same fields put into w columns at `dst`, which must have room.
void put_i(char* dst, std::int64_t value, int width);
void put_f(char* dst, double value, int width, int decimals);
void put_a(char* dst, std::string_view text, int width);

// Convenience forms for tests and single fields.
std::string format_i(std::int64_t value, int width);
std::string format_f(double value, int width, int decimals);

}  // namespace velor::textio
