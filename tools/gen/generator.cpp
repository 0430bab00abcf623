#include "gen/generator.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "gen/crystal.hpp"
#include "gen/detmath.hpp"
#include "gen/error.hpp"
#include "gen/fixed_format.hpp"
#include "gen/model.hpp"
#include "gen/random.hpp"
#include "gen/reflections.hpp"
#include "gen/writers.hpp"

namespace velor::gen {

namespace {

constexpr double kDefaultDmin = 0.8;
constexpr std::uint64_t kNoiseStream = 0xa54ff53a5f1d36f1ULL;

// velor's intensity-ceiling screen accepts a reflection when
// Fo^2 / exp(-16 pi^2 U sin^2(theta)/lambda^2) <= 0.25 F(000)^2 with U = 0.005
// (16 pi^2 rounded to 157.92). The default F(000) passes every record.
double f000_for(double fo2_max_over_e) {
    return std::ceil(1.02 * 2.0 * std::sqrt(std::max(fo2_max_over_e, 0.0)));
}

}  // namespace

void generate(const Options& o, std::ostream& out) {
    // Crystal: system, cell, and the cell as it will be read back.
    CrystalSystem system = o.system.value_or(CrystalSystem::monoclinic);
    std::array<double, 6> cell_in = default_cell(system);
    if (o.cell) {
        cell_in = *o.cell;
        system = o.system.value_or(highest_system(cell_in));
        if (!cell_fits(system, cell_in))
            fail("--cell does not have the metric of the " + std::string(system_name(system)) +
                 " system");
    }
    const CellText cell_text = make_cell_text(o.lambda, cell_in);
    const CellData& cell = cell_text.as_read;
    const ReciprocalCell rc = reciprocal_cell(cell);
    const FitType fit = o.fit.value_or(cell.lambda <= 1.0f ? FitType::linear : FitType::cubic);
    const LaueGroup laue(system);
    const std::uint64_t model_seed = o.model_seed.value_or(o.seed);

    const std::filesystem::path out_path(o.out);
    const std::string stem = out_path.filename().string();
    if (stem.empty() || stem == "." || stem == "..")
        fail("--out must end in a file stem: '" + o.out + "'");
    if (out_path.has_parent_path()) std::filesystem::create_directories(out_path.parent_path());
    const std::string base = out_path.string();

    // Reflections.
    Selection sel;
    std::int64_t n_records = 0;
    if (o.empty) {
        const double d = o.dmin.value_or(kDefaultDmin);
        sel.sin2theta_max = cell.lambda_sq / (4.0 * d * d);
    } else {
        SelectionRequest req;
        req.system = system;
        req.cell = cell;
        req.rc = rc;
        req.axial_only = o.axial_only;
        req.count = o.reflections;
        if (!o.reflections) req.dmin = o.dmin.value_or(kDefaultDmin);
        sel = select_reflections(req, laue);
        if (sel.unique.empty()) fail("no reflection lies inside the resolution sphere");
        n_records = o.reflections.value_or(static_cast<std::int64_t>(sel.unique.size()));
    }

    const ScaleModel model = make_true_model(fit, rc, sel.sin2theta_max, model_seed);
    const auto true_scale = [&](Miller m) {
        if (o.delta_u) return displacement_scale(*o.delta_u, rc, m);
        return scale_factor(model, reflection_geometry(rc, cell.lambda_sq, m), cell.lambda_sq);
    };

    IntensitySettings st;
    st.lambda = static_cast<double>(cell.lambda);
    st.noise = o.noise;
    st.negative_fraction = o.negative_fraction;
    st.weak_fraction = o.weak_fraction;
    st.extinction = o.extinction;
    st.seed = o.seed;

    // Fc^2 per orbit, and what F(000) and the header need to know of them.
    std::vector<Structure> structures;
    structures.reserve(sel.unique.size());
    double fc2_max = 0.0, ceiling_max = 0.0;
    const double temperature_factor = 157.92 * 0.005 / cell.lambda_sq;
    const int passes = static_cast<int>(std::min<std::int64_t>(
        laue.order(), sel.unique.empty()
                          ? 0
                          : (n_records - 1) / static_cast<std::int64_t>(sel.unique.size()) + 1));
    for (const Miller& m : sel.unique) {
        const double s = reflection_geometry(rc, cell.lambda_sq, m).sin2theta;
        structures.push_back(structure_factor(st, m, s));
        fc2_max = std::max(fc2_max, structures.back().fc2);
        // The largest S among the equivalents that will be written.
        double scale = 0.0;
        for (int op = 0; op < passes; ++op)
            scale = std::max(scale, true_scale(laue.apply(op, m)));
        const double e = detmath::exp(-temperature_factor * s);
        ceiling_max = std::max(ceiling_max, max_fo2(st, structures.back(), scale) / e);
    }

    FcfHeader header;
    header.data_name = stem;
    header.title = stem + " in " + std::string(space_group(system).symbol);
    header.layout = o.layout;
    header.system = system;
    header.cell = cell;
    header.f_calc_max = std::sqrt(fc2_max);
    header.f000 = o.f000.value_or(std::max(cell_electrons(system), f000_for(ceiling_max)));
    header.d_min = sel.sin2theta_max > 0.0
                       ? static_cast<double>(cell.lambda) / (2.0 * std::sqrt(sel.sin2theta_max))
                       : 0.0;

    // The reflection list. Beyond the unique set, further passes write the
    // symmetry equivalents (then repeats) as further measurements: the same Fc^2,
    // their own S and their own noise.
    RefinementStats stats;
    {
        LineSink fcf(base + ".fcf", o.crlf);
        write_fcf_header(fcf, header);
        Xoshiro256 noise(o.noise_seed.value_or(o.seed) ^ kNoiseStream);
        std::int64_t written = 0;
        for (int pass = 0; written < n_records; ++pass) {
            const int op = pass % laue.order();
            for (std::size_t u = 0; u < sel.unique.size() && written < n_records; ++u, ++written) {
                const Miller m = laue.apply(op, sel.unique[u]);
                const Geometry g = reflection_geometry(rc, cell.lambda_sq, m);
                const double scale = true_scale(m);
                const auto [z1, z2] = noise.normal_pair();
                const Observation obs = observe(st, structures[u], scale, g.sin2theta, z1, z2);
                write_reflection(fcf, o.layout, m, structures[u].fc2, obs.fo2, obs.sigma);
                stats.add(structures[u].fc2, obs.fo2, obs.sigma);
            }
        }
        write_terminator(fcf, o.layout);
        fcf.close();
    }

    ResContent res;
    res.stem = stem;
    res.title = header.title;
    res.legacy_res = o.legacy_res;
    res.system = system;
    res.cell = cell_text;
    res.osf = o.osf;
    res.extinction = o.extinction;
    res.seed = o.seed;
    res.model_seed = model_seed;
    res.stats = stats;
    write_res(base + ".res", o.crlf, res);

    if (o.print_model) {
        const int n = fit_shape(fit).nparam;
        for (int p = 0; p < n; ++p) {
            char buf[32];
            const auto r =
                std::to_chars(buf, buf + sizeof buf, model.x[static_cast<std::size_t>(p)]);
            out.write(buf, r.ptr - buf);
            out.put('\n');
        }
    }
}

int run(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    try {
        const Options o = parse_options(args);
        if (o.help) {
            out << usage_text();
            return 0;
        }
        generate(o, out);
        return 0;
    } catch (const GenError& e) {
        err << "velor-gen: " << e.what() << "\n";
    } catch (const std::exception& e) {  // file system errors
        err << "velor-gen: " << e.what() << "\n";
    }
    return 2;
}

}  // namespace velor::gen
