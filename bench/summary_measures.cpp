// The cost of the summaries' measurements of a run's trustworthiness (the
// uncertainty of S, the coverage of directions, the cross-validation and
// displacement-like part of the four fit types), apart from reading and
// writing: both passes of a run over a reflection list held in memory,
// without them, with the first pass's share alone, and with all of them.
// Run it under callgrind and take the difference of the instruction counts:
//
//   cmake -S . -B build-bench -DVELOR_BENCH=ON && cmake --build build-bench -j2 --target summary_measures
//   valgrind --tool=callgrind build-bench/bench/summary_measures /tmp/velor-bench/m100k L plain
//   valgrind --tool=callgrind build-bench/bench/summary_measures /tmp/velor-bench/m100k L all
//
// It prints the wall time of the passes, for a rough look.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "input/crystal_data.hpp"
#include "input/reflection_stream.hpp"
#include "input/run_parameters.hpp"
#include "model/cholesky.hpp"
#include "model/correction.hpp"
#include "model/cross_validation.hpp"
#include "model/direction_coverage.hpp"
#include "model/fit_type_comparison.hpp"
#include "model/normal_equations.hpp"
#include "model/scale_uncertainty.hpp"
#include "textio/files.hpp"
#include "textio/input_channel.hpp"

using namespace velor;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: summary_measures NAME C|Q|L|F plain|first|all\n";
        return 2;
    }
    const std::string stem = argv[1], mode = argv[3];
    const bool first = mode != "plain", all = mode == "all";
    std::ostringstream console_text;
    std::istringstream no_answers;
    textio::ConsoleChannel console(console_text);
    textio::KeyboardChannel keyboard(no_answers);
    const core::CrystalData crystal = input::read_crystal_data(stem + ".res", stem + ".fcf", console);
    core::FitRequest request;
    request.letter = argv[2][0];
    const core::RunParameters parameters = input::settle_fit_options(crystal.lambda, request, console, keyboard);
    std::vector<core::Reflection> list;
    {
        input::ReflectionStream stream(textio::open_or_fail(stem + ".fcf"));
        for (core::Reflection r; stream.next(r);) list.push_back(r);
    }
    const auto start = std::chrono::steady_clock::now();

    const model::ReciprocalCell rc = model::reciprocal_cell(crystal);
    model::NormalEquations eq;
    model::NormalEquationsBuilder builder(crystal, parameters, rc, eq);
    auto folds = std::make_unique<model::FoldSums>(crystal.lambda_sq);
    auto directions = std::make_unique<model::DirectionBitmap>(rc);
    double max_sin2 = 0.0;
    for (const core::Reflection& r : list) {
        const model::Geometry g = builder.geometry(r);
        const unsigned failed = builder.screening().failed_tests(r, g.sin2);
        builder.add(r, g, failed);
        if (!first || failed != 0) continue;
        folds->add(r, g);
        directions->add(r.h, r.k, r.l);
        if (g.sin2 > max_sin2) max_sin2 = g.sin2;
    }
    core::FitResult fit;
    if (!model::cholesky_solve(eq, fit, parameters.parameter_count)) return 1;
    const auto first_done = std::chrono::steady_clock::now();

    const model::ScaleModel scale(parameters.terms, crystal.lambda_sq);
    model::Corrector corrector(crystal, scale, rc, fit);
    const auto fit_types = std::make_unique<model::FitTypeSolutions>(first ? model::solve_fit_types(*folds)
                                                                           : model::FitTypeSolutions{});
    const model::ScaleVariance variance(eq, fit, scale);
    model::FitTypeComparison comparison(*fit_types, crystal);
    model::RelativeUncertainty relative;
    double chi_squared = 0.0, sum_s = 0.0;
    for (const core::Reflection& r : list) {
        model::Geometry g;
        model::RContribution share{};
        const model::CorrectedReflection c = corrector.apply(r, g, share);
        sum_s += c.s;
        if (!all) continue;
        const bool accepted = builder.screening().accepts(r, g.sin2);
        comparison.add(r, g, accepted);
        if (!accepted) continue;
        const double residual = static_cast<double>(r.fo2) - c.s * static_cast<double>(r.fc2);
        chi_squared += residual * residual / (static_cast<double>(r.sigma) * static_cast<double>(r.sigma));
        relative.add(variance.unit_variance(g), c.s);
    }
    const auto second_done = std::chrono::steady_clock::now();
    if (all) {
        const double factor = model::variance_factor(chi_squared, eq.accepted, parameters.parameter_count);
        const model::Coverage coverage(*directions);
        const model::DirectionFigures d =
            model::direction_figures(coverage, rc, scale, fit.x, &variance, factor, std::sqrt(max_sin2), 64);
        const model::FitTypeFigures f = comparison.figures(parameters.terms, rc);
        std::printf("share %.3f  sigma/S median %.3g (directions %.3g)  cv R after %.4f  DU_eq %.5f\n",
                    coverage.sampled_share(), relative.scaled(factor).median, d.median_relative_sigma,
                    f.cross_validated ? f.cross_validated->r_after : -1.0, f.displacement.delta_u_eq);
    }
    const auto end = std::chrono::steady_clock::now();
    const auto ns = [&](auto a, auto b) {
        return std::chrono::duration<double, std::nano>(b - a).count() / static_cast<double>(list.size());
    };
    std::printf("%zu reflections (sum S %.6g): first pass %.1f ns, second %.1f ns a reflection; the end %.2f ms\n",
                list.size(), sum_s, ns(start, first_done), ns(first_done, second_done),
                std::chrono::duration<double, std::milli>(end - second_done).count());
    return 0;
}
