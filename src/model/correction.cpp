#include "model/correction.hpp"

#include <cmath>

#include "input/reflection_stream.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/numeric_fields.hpp"
#include "textio/output_file.hpp"
#include "textio/text_field.hpp"

namespace velor::model {

double scale_factor(const Geometry& g, const Solution& solution, int parameter_count, double lambda_sq) {
    const auto& x = solution.x;
    const double s = g.sin2;
    const double s_sq = s * s;
    double sum = 0.0;
    for (std::size_t j = 0; j < 6; ++j) {
        const double t = g.t[j];
        double p = 0.0;
        switch (parameter_count) {
            case 24: p = x[j] * s_sq * t + x[j + 6] * s * t + x[j + 12] * t + x[j + 18] * t / s; break;
            case 18: p = x[j] * s * t + x[j + 6] * t + x[j + 12] * t / s; break;
            case 12: p = x[j] * t + x[j + 6] * t / s; break;
            default: p = x[j] * t / s; break;
        }
        sum = j == 0 ? p : sum + p;
    }
    return lambda_sq * sum;
}

CorrectedReflection correct(const input::Reflection& r, double s, double z) {
    CorrectedReflection c;
    c.s = s;
    c.fo2 = static_cast<double>(r.fo2) / (z * s);
    c.sigma = static_cast<double>(r.sigma) / (z * s);
    return c;
}

void add_to_statistics(Statistics& st, const input::Reflection& r, const CorrectedReflection& c, float z1) {
    if (c.s < st.s_min) st.s_min = c.s;
    if (c.s > st.s_max) st.s_max = c.s;
    // Before correction: observed and calculated intensities on the
    // absolute scale, in single precision.
    const float fo2s = r.fo2 / z1;
    const float fc2s = r.fc2 / z1;
    const float root_fo2s = std::sqrt(std::fabs(fo2s));
    const float root_fc2s = std::sqrt(std::fabs(fc2s));
    const double root_fo2c = std::sqrt(std::fabs(c.fo2));
    st.n_after += std::fabs(root_fo2c - static_cast<double>(root_fc2s));
    st.n_before += static_cast<double>(std::fabs(root_fo2s - root_fc2s));
    st.d_after += root_fo2c;
    st.d_before += static_cast<double>(root_fo2s);
}

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
    textio::put_i(line, r.h, 4);
    textio::put_i(line + 4, r.k, 4);
    textio::put_i(line + 8, r.l, 4);
    if (c.fo2 < 99999.0) textio::put_f(line + 12, c.fo2, 8, 2);
    else textio::put_f(line + 12, c.fo2, 8, 0);
    textio::put_f(line + 20, c.sigma, 8, 2);
    textio::put_f(line + 28, c.s, 10, 3);
    line[38] = '\r';
    line[39] = '\n';
    return 40;
}

Statistics aplcor(const std::string& fcf_name, const std::string& hkl_name, const input::CrystalData& crystal,
                  int parameter_count, const ReciprocalCell& rc, const Solution& solution,
                  textio::OutputChannel& console) {
    console.write_free({"  Applying correction ..."});
    const auto fcf = textio::open_or_fail(fcf_name);
    textio::OutputFile hkl{std::string(textio::trim_right(hkl_name))};

    const double z = 1.0 / (static_cast<double>(crystal.osf) * static_cast<double>(crystal.osf));
    const auto z1 = static_cast<float>(z);
    Statistics st;
    input::ReflectionStream stream(*fcf);
    for (input::Reflection r; stream.next(r);) {
        const Geometry g = reflection_geometry(rc, crystal.lambda_sq, r.h, r.k, r.l);
        const CorrectedReflection c = correct(r, scale_factor(g, solution, parameter_count, crystal.lambda_sq), z);
        add_to_statistics(st, r, c, z1);
        char line[40];
        hkl.write_formatted(std::string_view(line, put_corrected_record(line, r, c)));
    }
    // The terminator: five values for six fields, so the record stops
    // after the second F8.2 (28 columns).
    hkl.write(textio::layouts::kCorrected, {0, 0, 0, 0.0, 0.0});
    hkl.close();
    return st;
}

}  // namespace velor::model
