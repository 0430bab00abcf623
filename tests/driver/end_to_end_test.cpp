// Runs on data sets made by the generator: a fit recovers the scale model
// the data were made with, singular data stop the run, and a run that ends
// early leaves earlier output files as they were.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <sstream>

#include "input/crystal_data.hpp"
#include "input/reflection_reader.hpp"
#include "model/cholesky.hpp"
#include "model/normal_equations.hpp"
#include "support/process.hpp"
#include "textio/input_channel.hpp"
#include "textio/text_field.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult generate(const ScratchFolder& dir, std::vector<std::string> options) {
    options.insert(options.begin(), {"--out", (dir / "g").string()});
    return run_program(dir.path(), program_path("velor-gen"), options);
}

std::vector<double> numbers(const std::string& text) {
    std::vector<double> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        double v = 0;
        std::from_chars(line.data(), line.data() + line.size(), v);
        out.push_back(v);
    }
    return out;
}

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
    const std::vector<double> truth = numbers(gen.out);
    ASSERT_EQ(truth.size(), static_cast<std::size_t>(6 * fit.terms));

    std::ostringstream console_text;
    textio::ConsoleChannel console(console_text);
    input::CrystalData crystal =
        input::read_crystal_data(textio::make_field((dir / "g.res").string()), textio::make_field((dir / "g.fcf").string()), console);
    input::RunParameters p;
    p.parameter_count = 6 * fit.terms;
    p.terms = fit.terms;
    p.top_power = fit.terms - 1;
    p.extinction_limit = static_cast<float>(0.35f * std::sqrt(crystal.lambda));
    const model::ReciprocalCell rc = model::rscell(crystal);
    model::NormalEquations eq;
    model::bldnml(textio::make_field((dir / "g.fcf").string()), crystal, p, rc, eq, console);
    model::Solution solution;
    model::chlsky(eq, solution, p.parameter_count, console);

    double largest = 0;
    for (double t : truth) largest = std::max(largest, std::fabs(t));
    for (std::size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(solution.x[i], truth[i], fit.tolerance * largest) << "coefficient " << i + 1;

    // The whole run: corrected Fo² against Fc²·OSF² record by record.
    const auto run = run_velor(dir.path(), {"g", fit.letter});
    ASSERT_EQ(run.status, 0) << run.err;
    auto hkl = textio::InputFile::open((dir / "gx.hkl").string());
    auto fcf = textio::InputFile::open((dir / "g.fcf").string());
    input::ReflectionReader reader(*fcf);
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
    auto legacy_options = common;
    legacy_options.insert(legacy_options.end(), {"--layout", "legacy", "--legacy-res", "--crlf"});
    ASSERT_EQ(generate(current, common).status, 0);
    ASSERT_EQ(generate(legacy, legacy_options).status, 0);
    ASSERT_NE(read_file(current / "g.fcf"), read_file(legacy / "g.fcf"));
    const auto a = run_velor(current.path(), {"g"}, "\n");
    const auto b = run_velor(legacy.path(), {"g"}, "\n");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    for (const char* name : {"gx.hkl", "gx.abs"}) EXPECT_EQ(read_file(current / name), read_file(legacy / name)) << name;
}

TEST(SingularData, StopWithAMessageAndNoOutput) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    struct Case {
        const char* what;
        std::vector<std::string> options;
        const char* letter;
        const char* count;
    };
    const Case cases[] = {
        {"axial reflections only", {"--axial-only"}, "F", "reflections passed the screening, too few to determine the 6 parameters"},
        {"empty list", {"--empty"}, "L", "0 reflections passed the screening, too few to determine the 12 parameters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder dir("singular");
        ASSERT_EQ(generate(dir, c.options).status, 0);
        // A list whose first record is the terminator.
        if (c.options[0] == "--empty") write_file(dir / "g.fcf", read_file(dir / "g.fcf") + "   0   0   0\n");
        const auto r = run_velor(dir.path(), {"g", c.letter});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("the normal equations are singular"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.count), std::string::npos) << r.err;
        EXPECT_EQ(r.out.substr(r.out.size() - 33), "   Solving normal equations ...\r\n");
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res"}));
    }
}

TEST(EarlyEnd, NoEndLineKeepsTheEarlierReportAndInstructions) {
    const fs::path data = test_data() / "golden" / "flat";
    ScratchFolder dir("early");
    fs::copy_file(data / "g.fcf", dir / "g.fcf");
    std::string res = read_file(data / "g.res");
    res = res.substr(0, res.find("\nEND") + 1);  // cut before END
    write_file(dir / "g.res", res);
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"}) write_file(dir / name, "earlier run\n");
    const auto r = run_velor(dir.path(), {"g", "F"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("g.res"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 12), "End of file\n");
    EXPECT_EQ(read_file(dir / "gx.hkl"), read_file(data / "gx.hkl"));  // complete before the report began
    EXPECT_EQ(read_file(dir / "gx.ins"), "earlier run\n");
    EXPECT_EQ(read_file(dir / "gx.abs"), "earlier run\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res", "gx.abs", "gx.hkl", "gx.ins"}));
}

TEST(EarlyEnd, ListSixStopsBeforeAnyQuestion) {
    ScratchFolder dir("list6");
    const fs::path data = test_data() / "golden" / "flat";
    fs::copy_file(data / "g.res", dir / "g.res");
    std::string fcf = read_file(data / "g.fcf");
    const std::string list_code = "_shelx_refln_list_code          4";
    const std::size_t code = fcf.find(list_code);
    ASSERT_NE(code, std::string::npos);
    fcf[code + list_code.size() - 1] = '6';
    write_file(dir / "g.fcf", fcf);
    const auto r = run_velor(dir.path(), {"g"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("g.fcf"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("LIST 4"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Do you want"), std::string::npos);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res"}));
}

}  // namespace
}  // namespace velor::testing
