#include "output/corrected_record.hpp"

#include "textio/layouts.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::output {
namespace {

using textio::Edit;
using textio::layouts::kCorrected;
static_assert(kCorrected.count == 6 && kCorrected.has_field(0, {Edit::I, 4, 0}) &&
                  kCorrected.has_field(1, {Edit::I, 4, 0}) && kCorrected.has_field(2, {Edit::I, 4, 0}) &&
                  kCorrected.has_field(3, {Edit::F, 8, 2}) && kCorrected.has_field(4, {Edit::F, 8, 2}) &&
                  kCorrected.has_field(5, {Edit::F, 10, 3}),
              "put_corrected_record writes the columns of this layout");

// The corrected Fo² from which on F8.0 takes the place of F8.2.
constexpr double kWithoutDecimalsFrom = 99999.0;

}  // namespace

std::size_t put_corrected_record(char* line, const core::Reflection& r, const model::CorrectedReflection& c) {
    textio::put_i4(line, r.h);
    textio::put_i4(line + 4, r.k);
    textio::put_i4(line + 8, r.l);
    if (c.fo2 < kWithoutDecimalsFrom) textio::put_f_fixed<8, 2>(line + 12, c.fo2);
    else textio::put_f(line + 12, c.fo2, 8, 0);
    textio::put_f_fixed<8, 2>(line + 20, c.sigma);
    textio::put_f_fixed<10, 3>(line + 28, c.s);
    line[38] = '\r';
    line[39] = '\n';
    return 40;
}

}  // namespace velor::output
