// nlohmann-json writes the text: escaping of names, and numbers in the
// shortest form that reads back to the same double, are its business.
#include "report/json_summary.hpp"

#include <charconv>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>

#include "report/advice.hpp"

namespace velor::report {
namespace {

using nlohmann::ordered_json;

// A single-precision value as the double nearest its shortest decimal
// form: written in the shortest form that reads back to the same double,
// that is the float's own (11.37), where the exact double of the float
// would take seventeen digits (11.369999885559082).  Both read back to the
// same float.
double as_written(float value) {
    char buffer[32];
    const char* const end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    double shortest = value;  // infinity and NaN, which are written as null anyway
    std::from_chars(buffer, end, shortest);
    return shortest;
}

ordered_json miller(const model::Miller& m) { return {{"h", m.h}, {"k", m.k}, {"l", m.l}}; }

ordered_json crystal(const core::CrystalData& c) {
    return {{"wavelength", as_written(c.lambda)},
            {"cell", {{"a", as_written(c.a)}, {"b", as_written(c.b)}, {"c", as_written(c.c)},
                      {"alpha", as_written(c.alpha_deg)}, {"beta", as_written(c.beta_deg)},
                      {"gamma", as_written(c.gamma_deg)}}},
            {"osf", as_written(c.osf)},
            {"f000", as_written(c.f000)}};
}

ordered_json fit(const core::RunParameters& p) {
    const std::string_view description = p.fit_description;
    // Term i (from 0) of each tensor component's polynomial is (sin²θ) to
    // the power top_power − 1 − i.
    ordered_json exponents = ordered_json::array();
    for (int i = 0; i < p.terms; ++i) exponents.push_back(p.top_power - 1 - i);
    return {{"type", std::string(description.substr(0, description.find(' ')))},
            {"letter", std::string(1, p.fit_letter)},
            {"parameters", p.parameter_count},
            {"terms", p.terms},
            {"top_power", p.top_power},
            {"exponents", exponents},
            {"sin_theta_min", as_written(p.sin_theta_min)},
            {"sin_theta_max", as_written(p.sin_theta_max)},
            {"omit", as_written(p.omit)},
            {"extinction_ratio", as_written(p.extinction_ratio)},
            {"extinction_limit", as_written(p.extinction_limit)},
            {"intensity_ceiling_fraction", as_written(p.ceiling_fraction)}};
}

ordered_json reflections(const Summary& s) {
    ordered_json by_test = ordered_json::object();
    for (std::size_t t = 0; t < kScreeningTestNames.size(); ++t) by_test[kScreeningTestNames[t].key] = s.rejected_by_test[t];
    return {{"read", s.read}, {"accepted", s.accepted}, {"rejected", s.rejected}, {"rejected_by_test", by_test}};
}

ordered_json coefficients(const Summary& s) {
    ordered_json list = ordered_json::array();
    for (std::size_t p = 0; p < s.coefficients.size(); ++p) {
        const Coefficient& c = s.coefficients[p];
        list.push_back({{"p", p + 1},
                        {"component", kComponentNames[static_cast<std::size_t>(c.component - 1)]},
                        {"power", c.power},
                        {"value", c.value},
                        {"esd", c.esd}});
    }
    return list;
}

ordered_json scale_factors(const Summary& s) {
    ordered_json histogram = ordered_json::array();
    for (const model::HistogramBin& b : s.histogram)
        histogram.push_back({{"lower", b.lower}, {"upper", b.upper}, {"count", b.count}});
    return {{"report_min", s.statistics.s_min},
            {"report_max", s.statistics.s_max},
            {"report_ratio", s.statistics.s_min / s.statistics.s_max},
            {"smallest", {{"value", s.s_smallest}, {"at", miller(s.s_smallest_at)}}},
            {"largest", {{"value", s.s_largest}, {"at", miller(s.s_largest_at)}}},
            {"histogram", histogram}};
}

ordered_json shells(const Summary& s) {
    ordered_json list = ordered_json::array();
    for (const model::ResolutionShell& shell : s.shells)
        list.push_back({{"sin_theta_low", shell.sin_theta_low},
                        {"sin_theta_high", shell.sin_theta_high},
                        {"count", shell.count},
                        {"r_before", shell.r_before()},
                        {"r_after", shell.r_after()},
                        {"mean_s", shell.mean_s()}});
    return list;
}

// What cannot be had is null, as nlohmann writes a number that is not finite.
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

ordered_json directions(const model::DirectionFigures& d) {
    return {{"s_sampled_min", d.sampled_min},
            {"s_sampled_max", d.sampled_max},
            {"s_all_min", d.all_min},
            {"s_all_max", d.all_max},
            {"sigma_s_over_s_median", d.median_relative_sigma},
            {"sigma_s_over_s_max", d.largest_relative_sigma}};
}

ordered_json displacement(const model::FitTypeTrust& f) {
    const model::DisplacementFigures& d = f.displacement;
    const bool measured = f.solved && d.reflections > 0, determined = measured && d.determined;
    ordered_json delta_u = ordered_json::array();
    for (const double u : d.delta_u) delta_u.push_back(determined ? u : kNone);
    return {{"delta_u", delta_u},
            {"delta_u_eq", determined ? d.delta_u_eq : kNone},
            {"rms_direction_only", measured ? d.rms_direction : kNone},
            {"rms_displacement_like", measured ? d.rms_displacement : kNone},
            {"share", measured ? d.displacement_share : kNone}};
}

ordered_json fit_type(const model::FitTypeTrust& f) {
    ordered_json cross_validated = nullptr;
    if (f.cross_validated)
        cross_validated = {{"r_after", f.cross_validated->r_after},
                           {"chi_squared_per_reflection", f.cross_validated->chi_squared_per_reflection()}};
    return {{"letter", std::string(1, fit_letter(f.terms))},
            {"parameters", model::ScaleModel(f.terms, 0.0).parameters()},
            {"chi_squared_per_reflection", f.chi_squared_per_reflection},
            {"goodness_of_fit", f.goodness_of_fit},
            {"cross_validated", cross_validated},
            {"directions", directions(f.directions)},
            {"displacement", displacement(f)}};
}

ordered_json trust(const Summary& s) {
    const model::TrustFigures& t = s.trust;
    ordered_json fit_types = ordered_json::array();
    for (int terms = model::ScaleModel::kMaxTerms; terms >= 1; --terms)  // C, Q, L, F
        fit_types.push_back(fit_type(t.fit_types[static_cast<std::size_t>(terms - 1)]));
    return {{"folds", t.folds},
            {"sin_theta_max", t.sin_theta_max},
            {"coverage", {{"angle_degrees", t.coverage_angle * (180.0 / std::numbers::pi)},
                          {"sampled_share", t.sampled_share}}},
            {"r_before", t.r_before},
            {"fit_types", fit_types},
            {"uncertainty", {{"sigma_s_over_s_median", t.reflections.median},
                             {"sigma_s_over_s_max", t.reflections.largest},
                             {"directions_sigma_s_over_s_median", t.directions.median_relative_sigma},
                             {"directions_sigma_s_over_s_max", t.directions.largest_relative_sigma}}},
            {"recommended_fit", s.recommended_fit ? ordered_json(std::string(1, *s.recommended_fit)) : ordered_json()}};
}

ordered_json cif(const Summary& s) {
    return {{"_exptl_absorpt_correction_type", "refdelf"},
            {"_exptl_absorpt_correction_T_min", s.t_min()},
            {"_exptl_absorpt_correction_T_max", s.t_max()},
            {"_exptl_absorpt_process_details", s.process_details()}};
}

}  // namespace

std::string json_summary(const Summary& s) {
    ordered_json j;
    j["schema"] = kJsonSchema;
    j["program"] = {{"name", s.program}, {"version", s.version}};
    j["files"] = {{"res", s.names.res}, {"fcf", s.names.fcf}, {"hkl", s.names.hkl},
                  {"ins", s.names.ins}, {"abs", s.names.abs}};
    j["crystal"] = crystal(s.crystal);
    j["fit"] = fit(s.parameters);
    j["reflections"] = reflections(s);
    j["coefficients"] = coefficients(s);
    j["chi_squared"] = s.chi_squared;
    j["goodness_of_fit"] = s.goodness_of_fit;
    j["r_values"] = {{"before", s.r_before}, {"after", s.r_after}};
    j["scale_factors"] = scale_factors(s);
    j["shells"] = shells(s);
    j["trust"] = trust(s);
    j["warnings"] = s.warnings;
    j["cif"] = cif(s);
    // Text that is not UTF-8 (a file name in another encoding) is replaced,
    // not a reason to fail after the run has succeeded.
    return j.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace velor::report
