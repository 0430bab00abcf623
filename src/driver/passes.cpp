#include "driver/passes.hpp"

#include <memory>
#include <span>
#include <vector>

#include "driver/warnings.hpp"
#include "input/reflection_stream.hpp"
#include "model/cholesky.hpp"
#include "output/corrected_record_writer.hpp"
#include "platform/failure.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/numeric_fields.hpp"
#include "textio/text_field.hpp"

namespace velor::driver {
namespace {

// The cell as the messages show it: the lengths in F10.4, the angles in F10.3.
std::string describe_cell(const core::CrystalData& c) {
    std::string s;
    for (float v : {c.a, c.b, c.c}) s += textio::format_f(v, 10, 4);
    for (float v : {c.alpha_deg, c.beta_deg, c.gamma_deg}) s += textio::format_f(v, 10, 3);
    return s;
}

// What is wrong with crystal data that no crystal can have.
std::string impossibility_message(model::ImpossibleCrystal why, const core::CrystalData& c) {
    const auto cell = [&](const char* what) { return "impossible unit cell" + describe_cell(c) + ": " + what; };
    switch (why) {
        case model::ImpossibleCrystal::cell_length: return cell("a cell length is not a number greater than zero");
        case model::ImpossibleCrystal::cell_angle: return cell("a cell angle is not between 0 and 180 degrees");
        case model::ImpossibleCrystal::no_volume: return cell("the cell angles enclose no volume");
        case model::ImpossibleCrystal::volume_out_of_range: return cell("its volume is out of range");
        case model::ImpossibleCrystal::wavelength:
            return "impossible wavelength" + textio::format_f(c.lambda, 10, 5) +
                   " on the cell line: it must be a number greater than zero";
        case model::ImpossibleCrystal::scale_factor:
            return "impossible overall scale factor" + textio::format_f(c.osf, 10, 5) +
                   " (the first FVAR value): it must be a number greater than zero";
        case model::ImpossibleCrystal::none: break;
    }
    return {};
}

// Reflections beyond sin θ = 1 stop the run once the list has been read,
// before the fit is solved.  The screening of the first pass counts them;
// the list is read once more, on this rare way out only, for the first of
// them.
void require_possible_reflections(const input::FileNames& names, const core::CrystalData& crystal,
                                  const model::ReciprocalCell& rc, const model::Rejections& rejections) {
    BeyondSinThetaOne beyond{rejections.by_test(model::kBeyondSinThetaOne)};
    if (beyond.count == 0) return;
    const model::GeometryOfReflections geometry(rc, crystal.lambda_sq);
    input::ReflectionStream stream(textio::open_or_fail(names.fcf));
    for (core::Reflection r; stream.next(r);) {
        if (const double sin2 = geometry(r.h, r.k, r.l).sin2; sin2 > 1.0) {
            beyond = {beyond.count, sin2, r.h, r.k, r.l};
            break;
        }
    }
    stop(beyond_sin_theta_one_message(names, beyond));
}

}  // namespace

model::ReciprocalCell rscell(const core::CrystalData& crystal) {
    // Values no crystal can have stop the run before the fit, with what is
    // wrong, rather than giving scale factors of any sign.
    if (const auto why = model::impossibility(crystal); why != model::ImpossibleCrystal::none)
        stop(impossibility_message(why, crystal));
    return model::reciprocal_cell(crystal);
}

model::Rejections bldnml(const input::FileNames& names, const core::CrystalData& crystal,
                         const core::RunParameters& parameters, const model::ReciprocalCell& rc,
                         model::NormalEquations& eq, textio::OutputChannel& console, model::ListExtent* extent) {
    console.write_free({"  Building the normal equations ..."});
    std::unique_ptr<textio::InputFile> file = textio::open_or_stop(names.fcf, console);
    model::NormalEquationsBuilder builder(crystal, parameters, rc, eq);
    if (parameters.terms >= 3) {
        // The quadratic and cubic fits' shares cost more than the reading:
        // the reading thread also finds each reflection's geometry and the
        // screening tests it fails, for the pass to take with the record.
        struct Prepared {
            model::Geometry g;
            unsigned failed;
        };
        constexpr std::size_t kBatch = input::ReflectionStream::kBatchSize;
        std::vector<Prepared> prepared(input::ReflectionStream::kSlots * kBatch);
        const model::Screening& screening = builder.screening();
        input::ReflectionStream stream(std::move(file), [&](std::span<const core::Reflection> records, std::size_t slot) {
            Prepared* p = &prepared[slot * kBatch];
            for (const core::Reflection& r : records) {
                p->g = builder.geometry(r);
                p->failed = screening.failed_tests(r, p->g.sin2);
                ++p;
            }
        });
        for (core::Reflection r; stream.next(r);) {
            const Prepared& p = prepared[stream.slot() * kBatch + stream.index()];
            builder.add(r, p.g, p.failed);
            if (extent != nullptr) extent->add(p.g.sin2);
        }
        require_possible_reflections(names, crystal, rc, builder.rejections());
        return builder.rejections();
    }
    input::ReflectionStream stream(std::move(file));
    // Two loops, so that a run without a summary does no more than it must.
    if (extent != nullptr)
        for (core::Reflection r; stream.next(r);) extent->add(builder.add(r));
    else
        for (core::Reflection r; stream.next(r);) builder.add(r);
    require_possible_reflections(names, crystal, rc, builder.rejections());
    return builder.rejections();
}

void chlsky(model::NormalEquations& eq, core::FitResult& fit, int n, textio::OutputChannel& console) {
    console.write_free({"  Solving normal equations ..."});
    if (model::cholesky_solve(eq, fit, n)) return;
    // Six parameters is the smallest fit; below it only the data can change.
    const std::string advice = n > 6 ? "Use a fit type with fewer parameters, or check the data."
                                     : "Check the data and the screening limits.";
    stop("the normal equations are singular: the ", eq.accepted,
         " reflections that passed the screening do not determine the ", n,
         " parameters of this fit (too few of them, or in too few directions). ", advice);
}

model::Statistics aplcor(const std::string& fcf_name, const std::string& hkl_name, const core::CrystalData& crystal,
                         const model::ScaleModel& scale, const model::ReciprocalCell& rc, const core::FitResult& fit,
                         long reflections, textio::OutputSet& outputs, textio::OutputChannel& console,
                         model::Diagnostics* diagnostics) {
    console.write_free({"  Applying correction ..."});
    input::ReflectionStream stream(textio::open_or_fail(fcf_name));
    textio::OutputFile& hkl = outputs.create(hkl_name);
    // A record of 40 characters a reflection, and the 30 of the terminator.
    if (reflections > 0) hkl.reserve(40 * static_cast<std::uint64_t>(reflections) + 30);

    model::Corrector corrector(crystal, scale, rc, fit);
    {
        // The records are formatted and written on a thread of their own.
        output::CorrectedRecordWriter records(hkl);
        if (diagnostics != nullptr) {
            model::Geometry g;
            model::RContribution share{};
            for (core::Reflection r; stream.next(r);) {
                const model::CorrectedReflection c = corrector.apply(r, g, share);
                diagnostics->add(r, g, c, share);
                records.add(r, c);
            }
        } else {
            for (core::Reflection r; stream.next(r);) records.add(r, corrector.apply(r));
        }
        records.finish();
    }
    // The terminator: five values for six fields, so the record stops
    // after the second F8.2 (28 columns).
    hkl.write(textio::layouts::kCorrected, {0, 0, 0, 0.0, 0.0});
    hkl.close();
    return corrector.statistics();
}

}  // namespace velor::driver
