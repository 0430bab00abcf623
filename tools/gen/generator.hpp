// velor-gen: writes a synthetic NAME.res + NAME.fcf pair.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "gen/options.hpp"

namespace velor::gen {

// Writes the two files described by the options; with --print-model the true
// scale-model coefficients go to `out`, one per line. Throws GenError.
void generate(const Options& options, std::ostream& out);

// The whole program: args without the program name. Returns the exit status:
// 0 done, 2 bad command line or failure (message on `err`).
int run(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace velor::gen
