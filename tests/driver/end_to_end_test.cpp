// Runs on data sets made by the generator: a fit recovers the scale model
// the data were made with, and singular data stop the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "driver/passes.hpp"
#include "input/crystal_data.hpp"
#include "input/run_parameters.hpp"
#include "input/reflection_reader.hpp"
#include "model/cholesky.hpp"
#include "model/normal_equations.hpp"
#include "support/process.hpp"
#include "textio/input_channel.hpp"
#include "textio/text_field.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult generate(const ScratchFolder& dir, std::vector<std::string> options,
                       const std::vector<std::string>& more = {}) {
    options.insert(options.end(), more.begin(), more.end());
    options.insert(options.begin(), {"--out", (dir / "g").string()});
    return run_program(dir.path(), program_path("velor-gen"), options);
}

const std::vector<std::string> kDataOnly{"g.fcf", "g.res"};

struct FitType {
    const char* letter;
    int terms;
    double tolerance;  // relative to the largest coefficient
};

class Recovery : public ::testing::TestWithParam<FitType> {};

// Noise-free data: Fo² = S·Fc² up to the two printed decimals, so the fit
// must give back the model's coefficients, and the corrected Fo² must be
// Fc²·OSF².
TEST_P(Recovery, FitGivesBackTheModel) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    const FitType fit = GetParam();
    ScratchFolder dir("recovery");
    const auto gen = generate(dir, {"--fit", fit.letter, "--dmin", "0.7", "--seed", "21", "--print-model",
                                    "--system", "triclinic"});
    ASSERT_EQ(gen.status, 0) << gen.err;
    std::vector<double> truth;  // one coefficient a line
    std::istringstream model(gen.out);
    for (double v; model >> v;) truth.push_back(v);
    ASSERT_EQ(truth.size(), static_cast<std::size_t>(6 * fit.terms));

    const std::string res = (dir / "g.res").string(), fcf = (dir / "g.fcf").string();
    std::ostringstream console_text;
    textio::ConsoleChannel console(console_text);
    input::CrystalData crystal = input::read_crystal_data(textio::make_field(res), textio::make_field(fcf), console);
    const input::RunParameters p{.parameter_count = 6 * fit.terms, .terms = fit.terms, .top_power = fit.terms - 1,
                                 .extinction_limit = static_cast<float>(0.35f * std::sqrt(crystal.lambda))};
    const model::ReciprocalCell rc = model::rscell(crystal);
    model::NormalEquations eq;
    driver::bldnml(textio::make_field(fcf), crystal, p, rc, eq, console);
    model::Solution solution;
    driver::chlsky(eq, solution, p.parameter_count, console);

    const double largest = std::fabs(*std::ranges::max_element(truth, {}, [](double t) { return std::fabs(t); }));
    for (std::size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(solution.x[i], truth[i], fit.tolerance * largest) << "coefficient " << i + 1;

    // The whole run: corrected Fo² against Fc²·OSF² record by record.
    const auto run = run_velor(dir.path(), {"g", fit.letter});
    ASSERT_EQ(run.status, 0) << run.err;
    auto hkl = textio::InputFile::open((dir / "gx.hkl").string());
    auto fcf_file = textio::InputFile::open(fcf);
    input::ReflectionReader reader(*fcf_file);
    const float osf_sq = 0.25f * 0.25f;
    long compared = 0;
    for (input::Reflection r = reader.first(); !r.is_terminator(); r = reader.next()) {
        std::int32_t h = 0, k = 0, l = 0;
        float fo2c = 0, sigma = 0, s = 0;
        hkl->read(textio::parse_layout("(3I4, 2F8.2, F10.3)"), {h, k, l, fo2c, sigma, s});
        ASSERT_EQ(h, r.h);
        if (r.fc2 * osf_sq > 5.0f && r.fc2 * osf_sq < 99999.0f) {
            EXPECT_NEAR(fo2c, r.fc2 * osf_sq, 0.03 + 2e-4 * r.fc2 * osf_sq) << h << " " << k << " " << l;
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
}

INSTANTIATE_TEST_SUITE_P(FitTypes, Recovery,
                         // The four powers of the cubic fit are nearly collinear
                         // over one resolution sphere, which amplifies the
                         // rounding of the printed intensities.
                         ::testing::Values(FitType{"C", 4, 1e-3}, FitType{"Q", 3, 1e-4}, FitType{"L", 2, 1e-4},
                                           FitType{"F", 1, 1e-4}),
                         [](const ::testing::TestParamInfo<FitType>& p) { return std::string(p.param.letter); });

// Today's files (file-name lines between TITL and CELL, the wider record
// layout, negative intensities) and the same data in the legacy layout
// correct to the same bytes.
TEST(RecordLayouts, CurrentAndLegacyFilesGiveTheSameRun) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    const std::vector<std::string> common = {"--reflections", "3000", "--noise", "1", "--negative-fraction", "0.1",
                                             "--seed", "17"};
    ScratchFolder current("current"), legacy("legacy");
    ASSERT_EQ(generate(current, common).status, 0);
    ASSERT_EQ(generate(legacy, common, {"--layout", "legacy", "--legacy-res", "--crlf"}).status, 0);
    ASSERT_NE(read_file(current / "g.fcf"), read_file(legacy / "g.fcf"));
    const auto a = run_velor(current.path(), {"g"}, "\n");
    const auto b = run_velor(legacy.path(), {"g"}, "\n");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    for (const char* name : {"gx.hkl", "gx.abs"}) EXPECT_EQ(read_file(current / name), read_file(legacy / name)) << name;
}

TEST(SingularData, StopWithAMessageAndNoOutput) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    const struct { const char *option, *letter, *count; } cases[] = {
        {"--axial-only", "F", "reflections that passed the screening do not determine the 6 parameters"},
        {"--empty", "L", "the 0 reflections that passed the screening do not determine the 12 parameters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        ScratchFolder dir("singular");
        ASSERT_EQ(generate(dir, {c.option}).status, 0);
        // A list whose first record is the terminator.
        if (c.option == std::string("--empty")) write_file(dir / "g.fcf", read_file(dir / "g.fcf") + "   0   0   0\n");
        const auto r = run_velor(dir.path(), {"g", c.letter});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("the normal equations are singular"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.count), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.ends_with("   Solving normal equations ...\r\n")) << r.out;
        EXPECT_EQ(dir.names(), kDataOnly);
    }
}

}  // namespace
}  // namespace velor::testing
