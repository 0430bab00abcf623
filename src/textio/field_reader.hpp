// Reading single fields of a fixed-column record: Iw and Fw.d.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velor::textio {

// An Iw field: blanks anywhere are ignored, an optional sign, then digits.
// An all-blank field is 0.  Anything else, a lone sign included, or a value
// outside 32 bits, gives no value (a malformed field).
std::optional<std::int32_t> read_i(std::string_view field);

// An Fw.d field: blanks anywhere are ignored; an optional sign; digits with
// at most one point (without a point the last d digits are decimals); an
// optional exponent introduced by E, e, D or d, or by a sign directly after
// the digits (1.5-3 is 0.0015); or Inf, Infinity, NaN in any case.  An
// all-blank field, or a lone sign, reads 0.  The result is the correctly
// rounded single-precision value of the decimal text.  No value means a
// malformed field.
std::optional<float> read_f(std::string_view field, int decimals);

// The same, always by the general path; for checking the quick path.
std::optional<float> read_f_general(std::string_view field, int decimals);

// The common forms only: blanks, a sign, digits (and one point for F),
// nothing else.  False leaves the field to the general rules above, which
// give the same value for every field these accept.
bool read_i_quickly(std::string_view field, std::int32_t& value);
bool read_f_quickly(std::string_view field, int implied_decimals, float& value);


// Reads a real written the same way but given as one token of free-format
// input: no implied decimals, and blanks are not part of it.
std::optional<float> read_real_token(std::string_view token);

}  // namespace velor::textio
