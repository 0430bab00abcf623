// The second pass: every reflection divided by its fitted scale factor.
#pragma once

#include <cstdint>
#include <string>

#include "input/crystal_data.hpp"
#include "input/reflection_reader.hpp"
#include "model/cholesky.hpp"
#include "model/reciprocal_cell.hpp"
#include "textio/layout.hpp"
#include "textio/output_channel.hpp"
#include "textio/output_set.hpp"

namespace velor::model {

// Reflections whose S is not a positive number: the model, extrapolated
// beyond the data it was fitted to, is no transmission there, and dividing
// by it would write negative or infinite intensities.
struct UnphysicalScale {
    long count = 0;
    double smallest = 0.0;  // the smallest such S, with its indices
    std::int32_t h = 0, k = 0, l = 0;
};

struct Statistics {
    double s_min = 1.0, s_max = 1.0;  // smallest and largest S, starting at 1
    // R = Σ|√|Fo²| − √|Fc²|| / Σ√|Fo²| before (b) and after (a) correction.
    double n_before = 0.0, d_before = 0.0, n_after = 0.0, d_after = 0.0;
    UnphysicalScale unphysical;
};

// S = λ²·Σ_j P_j, P_j the polynomial in sin²θ of tensor component j times T_j.
double scale_factor(const Geometry& g, const Solution& solution, int parameter_count, double lambda_sq);

// The corrected record of one reflection, with its S, and its share of the
// statistics.  `z` is 1/OSF² in double precision, `z1` the same in single.
struct CorrectedReflection {
    double s = 0.0, fo2 = 0.0, sigma = 0.0;
};
CorrectedReflection correct(const input::Reflection& r, double s, double z);
void add_to_statistics(Statistics& st, const input::Reflection& r, const CorrectedReflection& c, float z1);
void note_unphysical(UnphysicalScale& u, const input::Reflection& r, double s);

// The layout of a corrected record: F8.2 for Fo², or F8.0 from 99999 on.
const textio::Layout& corrected_record_layout(double fo2);

// Puts the corrected record, CR LF included, into `line` (40 characters):
// the same text as a write with its layout, by field writers whose widths
// are fixed when compiled.  Returns its length.
std::size_t put_corrected_record(char* line, const input::Reflection& r, const CorrectedReflection& c);

// Reads NAME.fcf again, writes NAMEx.hkl as a new file of `outputs` and
// returns the statistics.
Statistics aplcor(const std::string& fcf_name, const std::string& hkl_name, const input::CrystalData& crystal,
                  int parameter_count, const ReciprocalCell& rc, const Solution& solution,
                  textio::OutputSet& outputs, textio::OutputChannel& console);

}  // namespace velor::model
