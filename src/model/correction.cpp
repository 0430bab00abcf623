#include "model/correction.hpp"

#include <cmath>
#include <limits>

#include "textio/fixed_fields.hpp"
#include "textio/layouts.hpp"

namespace velor::model {

void note_unphysical(UnphysicalScale& u, const input::Reflection& r, double s) {
    // The smallest S; one that is not a number only until a number turns up.
    if (u.count++ == 0 || s < u.smallest || std::isnan(u.smallest)) {
        u.smallest = s;
        u.h = r.h;
        u.k = r.k;
        u.l = r.l;
    }
}

Corrector::Corrector(const input::CrystalData& crystal, int parameter_count, const ReciprocalCell& rc,
                     const Solution& solution)
    : rc_(rc),
      solution_(solution),
      parameter_count_(parameter_count),
      lambda_sq_(crystal.lambda_sq),
      z_(1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf))),
      z1_(static_cast<float>(z_)) {}

const textio::Layout& corrected_record_layout(double fo2) {
    return fo2 < 99999.0 ? textio::layouts::kCorrected : textio::layouts::kCorrectedLarge;
}

namespace {

using textio::Edit;
using textio::layouts::kCorrected;
using textio::layouts::kCorrectedLarge;
static_assert(kCorrected.count == 6 && kCorrected.has_field(0, {Edit::I, 4, 0}) && kCorrected.has_field(1, {Edit::I, 4, 0}) &&
                  kCorrected.has_field(2, {Edit::I, 4, 0}) && kCorrected.has_field(3, {Edit::F, 8, 2}) &&
                  kCorrected.has_field(4, {Edit::F, 8, 2}) && kCorrected.has_field(5, {Edit::F, 10, 3}) &&
                  kCorrectedLarge.has_field(3, {Edit::F, 8, 0}),
              "put_corrected_record writes the columns of these layouts");

}  // namespace

std::size_t put_corrected_record(char* line, const input::Reflection& r, const CorrectedReflection& c) {
    textio::put_i_fixed<4>(line, r.h);
    textio::put_i_fixed<4>(line + 4, r.k);
    textio::put_i_fixed<4>(line + 8, r.l);
    if (c.fo2 < 99999.0) textio::put_f_fixed<8, 2>(line + 12, c.fo2);
    else textio::put_f_fixed<8, 0>(line + 12, c.fo2);
    textio::put_f_fixed<8, 2>(line + 20, c.sigma);
    textio::put_f_fixed<10, 3>(line + 28, c.s);
    line[38] = '\r';
    line[39] = '\n';
    return 40;
}

}  // namespace velor::model
