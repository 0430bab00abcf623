#include "report/html_page.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "model/portable_math.hpp"
#include "report/advice.hpp"
#include "report/cif_fragment.hpp"
#include "report/plots.hpp"
#include "report/svg.hpp"

namespace velor::report {
namespace {

using svg::decimal;
using svg::escape;
using svg::shortest;

constexpr std::string_view kStyle = R"(
body{font-family:system-ui,sans-serif;color:#111;background:#fff;line-height:1.4;
max-width:1000px;margin:0 auto;padding:0 12px 24px}
h1{font-size:1.5em;margin:.6em 0 .1em}h2{font-size:1.2em;margin:1.6em 0 .4em;border-bottom:1px solid #aaa}
.sub{margin:0 0 1em;color:#333}table{border-collapse:collapse;margin:.4em 0}
th,td{padding:2px 10px 2px 0;border-bottom:1px solid #e2e2e2;vertical-align:top}
th{text-align:left;font-weight:600}tbody th{white-space:nowrap}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}.scroll{overflow-x:auto}
.warn{border:3px solid #a00;background:#fff2f0;padding:.3em 1em;margin:1em 0}
.warn h2{border:0;margin:.3em 0;color:#a00}.glance{display:flex;flex-wrap:wrap;gap:8px;margin:1em 0}
.glance div{flex:1 1 150px;border:1px solid #bbb;padding:6px 10px}
.glance b{display:block;font-size:1.35em;font-variant-numeric:tabular-nums}
.cols{display:flex;flex-wrap:wrap;gap:0 32px}.cols>div{min-width:0;max-width:100%}figure{margin:1em 0}
.charts{display:flex;flex-wrap:wrap;gap:0 16px}.charts figure{flex:1 1 420px}.one{max-width:640px}
figcaption{font-size:.92em;color:#333;margin-top:.2em}.maps{display:flex;flex-wrap:wrap;gap:8px}
.maps figure{flex:1 1 240px;margin:0;text-align:center}.bar{max-width:600px}
svg{display:block;width:100%;height:auto}
pre{background:#f3f3f3;padding:8px;overflow-x:auto;white-space:pre-wrap}
@media (max-width:600px){.charts text,.one text{font-size:16px}}
@media print{body{max-width:none}figure,table,.warn{break-inside:avoid}.warn{background:none}}
)";

std::string element(std::string_view tag, std::string_view content, std::string_view attributes = {}) {
    std::string out;
    out.append("<").append(tag);
    if (!attributes.empty()) out.append(" ").append(attributes);
    return out.append(">").append(content).append("</").append(tag).append(">");
}

// A table row: a heading cell, then cells of numbers (already text).
std::string row(std::string_view heading, std::initializer_list<std::string> cells) {
    std::string out = "<tr>" + element("th", heading);
    for (const std::string& c : cells) out += element("td", c, "class=\"n\"");
    return out + "</tr>\n";
}

std::string table(std::string_view head, std::string_view rows) {
    return "<div class=\"scroll\"><table>" + (head.empty() ? "" : "<thead>" + std::string(head) + "</thead>") +
           "<tbody>" + std::string(rows) + "</tbody></table></div>\n";
}

std::string whole(long n) { return std::to_string(n); }

std::string hkl(const model::Miller& m) {
    std::string text = "(";
    return text.append(std::to_string(m.h))
        .append(" ")
        .append(std::to_string(m.k))
        .append(" ")
        .append(std::to_string(m.l))
        .append(")");
}

// A value with its standard uncertainty in the last digits, as in
// 0.123(4): the uncertainty to two digits when they are 19 or less, else to
// one, and the value to the same decimal.
std::string with_esd(double value, double esd) {
    if (!(esd > 0.0) || !std::isfinite(esd)) return svg::significant(value, 4);
    const int magnitude = model::portable::decimal_exponent(esd);
    const bool two = esd / model::portable::power_of_ten(magnitude) < 1.95;
    const int decimals = std::max(0, (two ? 1 : 0) - magnitude);
    const long digits = std::lround(esd * model::portable::power_of_ten(decimals));
    return decimal(value, decimals) + "(" + std::to_string(digits) + ")";
}

std::string power_heading(int power) {
    switch (power) {
        case 2:
            return "× (sin²θ)²";
        case 1:
            return "× sin²θ";
        case 0:
            return "× 1";
        default:
            return "× 1/sin²θ";
    }
}

std::string head_section(const Summary& s) {
    const std::string_view description = s.parameters.fit_description;
    const std::string fit = std::string(description.substr(0, description.find(' ')));
    std::string out = element("h1", "Empirical correction of " + element("code", escape(s.names.stem))) + "\n";
    out += element("p",
                   escape(s.program) + " " + escape(s.version) + " · " + fit + " fit, " +
                       std::to_string(s.parameters.parameter_count) + " parameters · " + whole(s.accepted) + " of " +
                       whole(s.read) + " reflections used",
                   "class=\"sub\"") +
           "\n";
    if (!s.warnings.empty()) {
        std::string items;
        for (const std::string& w : s.warnings) items += element("li", escape(w));
        out += "<div class=\"warn\" role=\"alert\">" + element("h2", "⚠ Warnings") + element("ul", items) + "</div>\n";
    }
    const auto glance = [](std::string_view value, std::string_view what) {
        return "<div><b>" + std::string(value) + "</b>" + std::string(what) + "</div>";
    };
    out += "<div class=\"glance\">" +
           glance(decimal(s.r_before, 4) + " → " + decimal(s.r_after, 4), "R before → after correction") +
           glance(decimal(s.s_smallest, 3) + " … " + decimal(s.s_largest, 3),
                  "smallest … largest S (T<sub>min</sub>/T<sub>max</sub> " + decimal(s.t_min(), 4) + ")") +
           glance(s.goodness_of_fit < 0.0995 ? svg::significant(s.goodness_of_fit, 2) : decimal(s.goodness_of_fit, 3),
                  "goodness of fit") +
           glance(whole(s.accepted) + " / " + whole(s.read), "reflections used / read") + "</div>\n";
    if (s.warnings.empty()) out += element("p", "No warnings.") + "\n";

    // Files, crystal data and run parameters side by side.
    const core::CrystalData& c = s.crystal;
    const core::RunParameters& p = s.parameters;
    std::string files;
    for (const auto& [what, file] : {std::pair{"refinement", &s.names.res},
                                     {"reflections (LIST 4)", &s.names.fcf},
                                     {"corrected data", &s.names.hkl},
                                     {"instructions", &s.names.ins},
                                     {"report", &s.names.abs}})
        files += "<tr>" + element("th", what) + element("td", element("code", escape(*file))) + "</tr>\n";
    out += "<div class=\"cols\"><div>" + element("h2", "Files") + table({}, files) + "</div>\n";
    out +=
        "<div>" + element("h2", "Crystal data") +
        table({}, row("λ (Å)", {shortest(c.lambda)}) +
                      row("a, b, c (Å)", {shortest(c.a), shortest(c.b), shortest(c.c)}) +
                      row("α, β, γ (°)", {shortest(c.alpha_deg), shortest(c.beta_deg), shortest(c.gamma_deg)}) +
                      row("a*, b*, c* (Å⁻¹)", {svg::significant(s.reciprocal.a, 5), svg::significant(s.reciprocal.b, 5),
                                               svg::significant(s.reciprocal.c, 5)}) +
                      row("OSF, F(000)", {shortest(c.osf), shortest(c.f000)})) +
        "</div>\n";
    out += "<div>" + element("h2", "Fit") +
           table({}, row("type", {fit + " (" + std::string(1, p.fit_letter) + ")"}) +
                         row("parameters", {std::to_string(p.parameter_count)}) +
                         row("sin θ range", {shortest(p.sin_theta_min) + " – " + shortest(p.sin_theta_max)}) +
                         row("OMIT", {shortest(p.omit)}) +
                         row("extinction test: sin θ ≤", {shortest(p.extinction_limit)}) +
                         row("and Fo²/Fc² &lt;", {shortest(p.extinction_ratio)})) +
           "</div></div>\n";

    // The screening.
    std::string tests;
    for (std::size_t t = 0; t < kScreeningTestNames.size(); ++t)
        tests += row(escape(kScreeningTestNames[t].description), {whole(s.rejected_by_test[t])});
    out += element("h2", "Reflections") +
           table({}, row("read", {whole(s.read)}) + row("used in the fit", {whole(s.accepted)}) +
                         row("rejected", {whole(s.rejected)})) +
           element("p",
                   "Rejected by each test of the screening (a reflection may fail more than one, so the counts "
                   "may add up to more than the rejected total; every reflection is corrected all the same):") +
           "\n" + table("<tr><th>test</th><th class=\"n\">rejected</th></tr>", tests);
    return out;
}

std::string coefficients_section(const Summary& s) {
    // One row per tensor component, one column per power of sin²θ, highest
    // first, as x_p runs.
    const std::size_t columns = static_cast<std::size_t>(s.parameters.terms);
    std::string head = "<tr><th>component</th>";
    for (std::size_t i = 0; i < columns && 6 * i < s.coefficients.size(); ++i)
        head += element("th", power_heading(s.coefficients[6 * i].power), "class=\"n\"");
    head += "</tr>";
    static constexpr std::array<const char*, 6> kLabels{"T₁ h²", "T₂ k²", "T₃ l²", "T₄ hk", "T₅ hl", "T₆ kl"};
    std::string rows;
    for (std::size_t j = 0; j < 6; ++j) {
        rows += "<tr>" + element("th", kLabels[j]);
        for (std::size_t i = 0; i < columns && j + 6 * i < s.coefficients.size(); ++i) {
            const Coefficient& c = s.coefficients[j + 6 * i];
            rows += element("td", with_esd(c.value, c.esd), "class=\"n\"");
        }
        rows += "</tr>\n";
    }
    return element("h2", "Scale model") +
           element("p",
                   "S = λ² Σ<sub>j</sub> T<sub>j</sub> P<sub>j</sub>(sin²θ), with T₁ … T₆ = h²a*²/4, k²b*²/4, "
                   "l²c*²/4, hk·a*b*/2, hl·a*c*/2, kl·b*c*/2; the coefficients of each polynomial P<sub>j</sub>, "
                   "with their standard uncertainties in the last digits:") +
           "\n" + table(head, rows) +
           element("p", "χ² = " + svg::significant(s.chi_squared, 6) + " over " + whole(s.accepted) +
                            " reflections; goodness of fit " + decimal(s.goodness_of_fit, 4) + ".") +
           "\n";
}

std::string resolution_section(const Summary& s) {
    std::string out = element("h2", "Correction against resolution") + "<div class=\"charts\">";
    out += "<figure>" + scale_against_resolution(s) +
           element("figcaption", "S of every " +
                                     std::string(s.read > 5000 ? "k-th reflection (a sample of " +
                                                                     std::to_string(s.sample.size()) + ")"
                                                               : "reflection") +
                                     " against sin θ, and the mean S of each of ten resolution shells of equal "
                                     "reciprocal volume. A correction that depends on resolution shows as a trend of "
                                     "the means; the spread at one sin θ is the dependence on direction.") +
           "</figure>\n";
    out += "<figure>" + r_by_shell(s) +
           element("figcaption",
                   "R before and after the correction in the same shells. The correction should "
                   "lower R at every resolution.") +
           "</figure></div>\n";
    std::string rows;
    for (const model::ResolutionShell& shell : s.shells) {
        const bool any = shell.count > 0;
        const double lambda = s.crystal.lambda;
        rows += row(decimal(shell.sin_theta_low, 4) + "–" + decimal(shell.sin_theta_high, 4),
                    {shell.sin_theta_low > 0.0 ? decimal(lambda / (2.0 * shell.sin_theta_low), 3) : "∞",
                     decimal(lambda / (2.0 * shell.sin_theta_high), 3), whole(shell.count),
                     any ? decimal(shell.r_before(), 4) : "–", any ? decimal(shell.r_after(), 4) : "–",
                     any ? decimal(shell.mean_s(), 4) : "–"});
    }
    out += table(
        "<tr><th>sin θ</th><th class=\"n\">d max (Å)</th><th class=\"n\">d min (Å)</th><th "
        "class=\"n\">reflections</th><th class=\"n\">R before</th><th class=\"n\">R after</th><th "
        "class=\"n\">mean S</th></tr>",
        rows);
    return out;
}

std::string distribution_section(const Summary& s) {
    return element("h2", "Distribution of S") + "<figure class=\"one\">" + scale_histogram(s) +
           element("figcaption",
                   "The scale factors of all reflections, in bins of equal width in log S. Outliers far from the "
                   "bulk point to reflections where the model is extrapolated.") +
           "</figure>\n" +
           element("p", "Smallest S " + decimal(s.s_smallest, 4) + " at h k l " + hkl(s.s_smallest_at) + ", largest " +
                            decimal(s.s_largest, 4) + " at " + hkl(s.s_largest_at) + "; the report gives " +
                            decimal(s.statistics.s_min, 3) + " and " + decimal(s.statistics.s_max, 3) +
                            " (its limits start at 1).") +
           "\n";
}

// A figure for a table cell; a dash where there is none.
std::string figure(double value, int decimals) { return std::isfinite(value) ? decimal(value, decimals) : "–"; }

// A share as a percentage, one decimal below 10 %.
std::string percent(double share) {
    if (!std::isfinite(share)) return "–";
    const double p = 100.0 * share;
    return decimal(p, p < 9.95 ? 1 : 0) + " %";
}

std::string degrees(double radians) { return decimal(radians * 180.0 / std::numbers::pi, 1) + "°"; }

std::string direction_section(const Summary& s) {
    const DirectionMaps maps = direction_maps(s);
    const model::TrustFigures& t = s.trust;
    std::string out = element("h2", "Correction by direction") + "<div class=\"maps\">";
    for (std::size_t m = 0; m < 3; ++m) {
        std::string caption = "sin θ = " + decimal(maps.sin_theta[m], 3) +
                              " (d = " + decimal(s.crystal.lambda / (2.0 * maps.sin_theta[m]), 2) + " Å)";
        if (const auto& f = maps.figures[m])
            caption += "<br/>σ(S)/S " + percent(f->median_relative_sigma) + " median, " +
                       percent(f->largest_relative_sigma) + " largest";
        out += "<figure>" + maps.maps[m] + element("figcaption", caption) + "</figure>";
    }
    out += "</div>\n<figure class=\"bar\">" + maps.colour_bar + "</figure>\n";
    out += element("p",
                   "S as a function of the direction of the scattering vector at three resolutions: where a "
                   "tenth, half and all of the reciprocal volume lie inside. Each disc is an equal-area "
                   "(Lambert azimuthal) map of a hemisphere of directions: its centre is the direction of c "
                   "(normal to a* and b*), its rim the plane of a* and b*; the opposite hemisphere is the same "
                   "(S(h) = S(−h)). The crosses mark the reciprocal axes, the dots the largest and smallest S on "
                   "each map. A smooth pattern of broad patches is what an absorption correction should look "
                   "like.") +
           "\n";
    out += element("p", "Grey directions lie farther than " + degrees(t.coverage_angle) +
                            " from every reflection of the fit (the data sample " + percent(t.sampled_share) +
                            " of the hemisphere): there the model is extrapolated, and the colour scale and the "
                            "dots take no account of them. σ(S)/S is the standard uncertainty of S relative to S, "
                            "over the sampled directions of each map.") +
           "\n";
    return out;
}

// The plain words on the displacement-like part of the run's fit.
std::string displacement_words(const model::FitTypeTrust& run) {
    const model::DisplacementFigures& d = run.displacement;
    if (run.terms == 1)
        return "The flat fit depends on the direction alone: no part of it grows with sin²θ as a change of the "
               "displacement parameters would.";
    if (!(d.reflections > 0 && d.determined && std::isfinite(d.displacement_share))) return {};
    return "About " + percent(d.displacement_share) +
           " of the variation of S grows with sin²θ, as an overall displacement ΔU<sub>eq</sub> = " +
           decimal(d.delta_u_eq, 4) + " Å² would: the refined displacement parameters may already hold it.";
}

std::string fit_types_section(const Summary& s) {
    const model::TrustFigures& t = s.trust;
    std::string rows;
    for (int terms = model::ScaleModel::kMaxTerms; terms >= 1; --terms) {
        const model::FitTypeTrust& f = t.fit_types[static_cast<std::size_t>(terms - 1)];
        const char letter = fit_letter(terms);
        std::string notes;
        if (terms == t.run_terms) notes = "used";
        if (s.recommended_fit == letter) notes += notes.empty() ? "recommended" : ", recommended";
        const bool cv = f.cross_validated.has_value();
        const bool split = f.solved && f.displacement.reflections > 0;
        rows += "<tr>" + element("th", std::string(fit_name(terms)) + " (" + letter + ")") +
                element("td", std::to_string(6 * terms), "class=\"n\"") +
                element("td", cv ? figure(f.cross_validated->r_after, 4) : "–", "class=\"n\"") +
                element("td", cv ? figure(f.cross_validated->chi_squared_per_reflection(), 3) : "–", "class=\"n\"") +
                element("td", split ? percent(f.displacement.displacement_share) : "–", "class=\"n\"") +
                element("td", split && f.displacement.determined ? figure(f.displacement.delta_u_eq, 4) : "–",
                        "class=\"n\"") +
                element("td", percent(f.directions.median_relative_sigma), "class=\"n\"") +
                element("td", percent(f.directions.largest_relative_sigma), "class=\"n\"") +
                element("td", notes) + "</tr>\n";
    }
    std::string out = element("h2", "The four fit types compared");
    out += element("p", "Each fit type fitted to the same reflections. Cross-validated: every reflection corrected "
                        "by the fit made without its tenth of the data (" +
                            std::to_string(t.folds) +
                            " parts by a hash of h k l); a fit that lowers R only for the reflections it was fitted "
                            "to has fitted their noise. R before correction: " +
                            figure(t.r_before, 4) +
                            ". Displacement-like: the share of the variation of ln S that grows with sin²θ as an "
                            "overall change of every atom's displacement parameters (ΔU<sub>eq</sub>) would. "
                            "σ(S)/S over the directions the data sample at sin θ = " +
                            decimal(t.sin_theta_max, 3) + ".") +
           "\n";
    out += table(
        "<tr><th>fit type</th><th class=\"n\">parameters</th><th class=\"n\">R after, cross-validated</th>"
        "<th class=\"n\">χ²/n, cross-validated</th><th class=\"n\">displacement-like</th>"
        "<th class=\"n\">ΔU<sub>eq</sub> (Å²)</th><th class=\"n\">σ(S)/S median</th>"
        "<th class=\"n\">σ(S)/S largest</th><th></th></tr>",
        rows);
    if (const std::string words = displacement_words(t.of_run()); !words.empty()) out += element("p", words) + "\n";
    out += element("p", s.recommended_fit ? "Recommended fit: " + std::string(fit_name(terms_of(*s.recommended_fit))) +
                                                " (" + *s.recommended_fit + ")."
                                          : std::string("No fit type is recommended.")) +
           "\n";
    return out;
}

}  // namespace

std::string html_page(const Summary& s) {
    std::string page = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n";
    page +=
        "<head>\n<meta charset=\"utf-8\"/>\n<meta name=\"viewport\" content=\"width=device-width, "
        "initial-scale=1\"/>\n";
    page += element("title", escape(s.names.stem) + " – empirical correction (" + escape(s.program) + ")") + "\n";
    page += element("style", kStyle) + "\n</head>\n<body>\n";
    page += head_section(s);
    page += coefficients_section(s);
    page += resolution_section(s);
    page += distribution_section(s);
    page += direction_section(s);
    page += fit_types_section(s);
    page += element("h2", "CIF items") +
            element("p", "For the absorption-correction section of the CIF of the structure:") + "\n" +
            element("pre", escape(cif_fragment(s))) + "\n";
    page += element("p", "Written by " + escape(s.program) + " " + escape(s.version) + ".", "class=\"sub\"");
    return page + "\n</body>\n</html>\n";
}

}  // namespace velor::report
