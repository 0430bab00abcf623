// The two passes over the reflection list and the fit between them.
#include <memory>
#include <span>
#include <vector>

#include "driver/stages.hpp"
#include "driver/warnings.hpp"
#include "input/reflection_stream.hpp"
#include "model/cholesky.hpp"
#include "output/corrected_record_writer.hpp"
#include "platform/failure.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"

namespace velor::driver {
namespace {

// Reflections beyond sin θ = 1 stop the run once the list has been read,
// before the fit is solved.  The screening of the first pass counts them;
// the list is read once more, on this rare way out only, for the first of
// them.
void require_possible_reflections(const RunInputs& in, const model::Rejections& rejections) {
    BeyondSinThetaOne beyond{rejections.by_test(model::kBeyondSinThetaOne)};
    if (beyond.count == 0) return;
    const model::GeometryOfReflections geometry(in.reciprocal, in.crystal.lambda_sq);
    input::ReflectionStream stream(textio::open_or_fail(in.names.fcf));
    for (core::Reflection r; stream.next(r);) {
        if (const double sin2 = geometry(r.h, r.k, r.l).sin2; sin2 > 1.0) {
            beyond = {beyond.count, sin2, r.h, r.k, r.l};
            break;
        }
    }
    stop(beyond_sin_theta_one_message(in.names, beyond));
}

// What a run with a summary measures in the first pass beside the fit's
// sums: how far out the list goes, and the measurements of trust.
struct FirstPassMeasures {
    FirstPassMeasures(model::ListExtent& list_extent, model::TrustFirstPass& trust_first_pass)
        : extent(list_extent), trust(trust_first_pass) {}
    model::ListExtent& extent;
    model::TrustFirstPass& trust;

    void add(const core::Reflection& r, const model::Geometry& g, unsigned failed) {
        extent.add(g.sin2);
        if (failed == 0) trust.add(r, g);
    }
};

// The pass proper: every reflection of the stream to the builder.
void add_all(input::ReflectionStream& stream, model::NormalEquationsBuilder& builder, FirstPassMeasures* measures) {
    // Two loops, so that a run without a summary does no more than it must.
    if (measures != nullptr) {
        for (core::Reflection r; stream.next(r);) {
            const model::Geometry g = builder.geometry(r);
            const unsigned failed = builder.screening().failed_tests(r, g.sin2);
            builder.add(r, g, failed);
            measures->add(r, g, failed);
        }
    } else {
        for (core::Reflection r; stream.next(r);) builder.add(r);
    }
}

// The same for the quadratic and cubic fits, whose shares cost more than
// the reading: the reading thread also finds each reflection's geometry and
// the screening tests it fails, for the pass to take with the record.
void add_all_prepared(std::unique_ptr<textio::InputFile> file, model::NormalEquationsBuilder& builder,
                      FirstPassMeasures* measures) {
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
        if (measures != nullptr) measures->add(r, p.g, p.failed);
    }
}

}  // namespace

FirstPass bldnml(const RunInputs& in, textio::OutputChannel& console, bool measure) {
    console.write_free({"  Building the normal equations ..."});
    std::unique_ptr<textio::InputFile> file = textio::open_or_stop(in.names.fcf, console);
    model::NormalEquationsBuilder builder(in.scale, in.reciprocal, in.screening);
    FirstPass first;
    std::optional<FirstPassMeasures> measures;
    if (measure) measures.emplace(first.extent, first.trust.emplace(in.reciprocal, in.crystal.lambda_sq));
    FirstPassMeasures* measured = measures ? &*measures : nullptr;
    if (in.scale.terms() >= 3) {
        add_all_prepared(std::move(file), builder, measured);
    } else {
        input::ReflectionStream stream(std::move(file));
        add_all(stream, builder, measured);
    }
    require_possible_reflections(in, builder.rejections());
    first.equations = builder.equations();
    first.rejections = builder.rejections();
    return first;
}

Fit chlsky(const FirstPass& first, const model::ScaleModel& scale, textio::OutputChannel& console) {
    console.write_free({"  Solving normal equations ..."});
    Fit fit{{}, first.equations, nullptr};
    const int n = scale.parameters();
    if (model::cholesky_solve(fit.factor, fit.solution, n)) {
        if (first.trust) fit.trust = std::make_unique<const model::TrustFits>(*first.trust, fit.factor, fit.solution, scale);
        return fit;
    }
    // Six parameters is the smallest fit; below it only the data can change.
    const char* advice = n > 6 ? "Use a fit type with fewer parameters, or check the data."
                               : "Check the data and the screening limits.";
    stop("the normal equations are singular: the ", first.equations.accepted,
         " reflections that passed the screening do not determine the ", n,
         " parameters of this fit (too few of them, or in too few directions). ", advice);
}

Correction aplcor(const RunInputs& in, const FirstPass& first, const Fit& fit, textio::OutputSet& outputs,
                  textio::OutputChannel& console, bool measure) {
    console.write_free({"  Applying correction ..."});
    input::ReflectionStream stream(textio::open_or_fail(in.names.fcf));
    textio::OutputFile& hkl = outputs.create(in.names.hkl);
    // A record of 40 characters a reflection, and the 30 of the terminator.
    if (first.reflections() > 0) hkl.reserve(40 * static_cast<std::uint64_t>(first.reflections()) + 30);

    Correction correction;
    model::Corrector corrector(in.crystal, in.scale, in.reciprocal, fit.solution);
    {
        // The records are formatted and written on a thread of their own.
        output::CorrectedRecordWriter records(hkl);
        if (measure) {
            model::Diagnostics& diagnostics = correction.diagnostics.emplace(first.extent);
            model::TrustSecondPass& trust = correction.trust.emplace(*fit.trust, in.crystal);
            model::Geometry g;
            model::RContribution share{};
            for (core::Reflection r; stream.next(r);) {
                const model::CorrectedReflection c = corrector.apply(r, g, share);
                const bool accepted = in.screening.accepts(r, g.sin2);
                diagnostics.add(r, g, c, share, accepted);
                trust.add(r, g, c.s, accepted);
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
    correction.statistics = corrector.statistics();
    if (const std::string why = unphysical_scale_message(correction.statistics.unphysical); !why.empty()) stop(why);
    return correction;
}

}  // namespace velor::driver
