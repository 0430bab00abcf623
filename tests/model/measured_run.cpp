#include "measured_run.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "input/crystal_data.hpp"
#include "input/reflection_stream.hpp"
#include "input/run_parameters.hpp"
#include "model/cholesky.hpp"
#include "support/process.hpp"
#include "textio/files.hpp"
#include "textio/input_channel.hpp"

namespace velor::testing {

GeneratedData generate(const std::vector<std::string>& options) {
    ScratchFolder dir("measured");
    std::vector<std::string> argv{program_path("velor-gen"), "--out", "g"};
    argv.insert(argv.end(), options.begin(), options.end());
    const ProcessResult gen = run_program(dir.path(), argv);
    EXPECT_EQ(gen.status, 0) << gen.err;
    GeneratedData data;
    std::ostringstream console_text;
    textio::ConsoleChannel console(console_text);
    const std::string res = (dir / "g.res").string(), fcf = (dir / "g.fcf").string();
    data.crystal = input::read_crystal_data(res, fcf, console);
    input::ReflectionStream stream(textio::open_or_fail(fcf));
    for (core::Reflection r; stream.next(r);) data.reflections.push_back(r);
    return data;
}

std::unique_ptr<MeasuredRun> measure(const GeneratedData& data, char letter) {
    auto run = std::make_unique<MeasuredRun>();
    std::ostringstream console_text;
    std::istringstream no_answers;
    textio::ConsoleChannel console(console_text);
    textio::KeyboardChannel keyboard(no_answers);
    core::FitRequest request;
    request.letter = letter;
    run->parameters = input::settle_fit_options(data.crystal.lambda, request, console, keyboard);
    run->rc = model::reciprocal_cell(data.crystal);
    run->factor_lambda_sq = data.crystal.lambda_sq;

    // The first pass: the run's sums, the folds' and the directions.
    const model::Screening screening(data.crystal, run->parameters);
    model::NormalEquationsBuilder builder(run->model(), run->rc, screening);
    model::FoldSums folds(data.crystal.lambda_sq);
    run->directions = std::make_unique<model::DirectionBitmap>(run->rc);
    for (const core::Reflection& r : data.reflections) {
        const model::Geometry g = builder.geometry(r);
        const unsigned failed = builder.screening().failed_tests(r, g.sin2);
        builder.add(r, g, failed);
        if (failed != 0) continue;
        folds.add(r, g);
        run->directions->add(r.h, r.k, r.l);
        run->max_sin2 = std::max(run->max_sin2, g.sin2);
    }
    run->factor = builder.equations();
    run->accepted = run->factor.accepted;
    EXPECT_TRUE(model::cholesky_solve(run->factor, run->fit, run->parameters.parameter_count));
    run->fit_types = model::solve_fit_types(folds);
    run->variance = std::make_unique<model::ScaleVariance>(run->factor, run->fit, run->model());

    // The second pass.
    model::Corrector corrector(data.crystal, run->model(), run->rc, run->fit);
    model::FitTypeComparison comparison(run->fit_types, data.crystal);
    for (const core::Reflection& r : data.reflections) {
        model::Geometry g;
        model::RContribution share{};
        const model::CorrectedReflection c = corrector.apply(r, g, share);
        const bool accepted = builder.screening().accepts(r, g.sin2);
        comparison.add(r, g, accepted);
        if (!accepted) continue;
        const double residual = static_cast<double>(r.fo2) - c.s * static_cast<double>(r.fc2);
        run->chi_squared += residual * residual / (static_cast<double>(r.sigma) * static_cast<double>(r.sigma));
        run->relative.add(run->variance->unit_variance(g), c.s);
    }
    run->statistics = corrector.statistics();
    for (int terms = 1; terms <= 4; ++terms)
        run->figures[static_cast<std::size_t>(terms - 1)] = comparison.figures(terms, run->rc);
    return run;
}

}  // namespace velor::testing
