// Runs on data sets made by the generator: a fit recovers the scale model
// the data were made with, and singular data stop the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "input/reflection_reader.hpp"
#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult generate(const ScratchFolder& dir, std::vector<std::string> options) {
    options.insert(options.begin(), {program_path("velor-gen"), "--out", (dir / "g").string()});
    return run_program(dir.path(), options);
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
    std::vector<double> truth;  // one coefficient a line
    std::istringstream model(gen.out);
    for (double v; model >> v;) truth.push_back(v);
    ASSERT_EQ(truth.size(), static_cast<std::size_t>(6 * fit.terms));

    const auto run = run_velor(dir.path(), {"--json", "g.json", "g", fit.letter});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto coefficients = nlohmann::json::parse(read_file(dir / "g.json"))["coefficients"];
    ASSERT_EQ(coefficients.size(), truth.size());
    const double largest = std::fabs(*std::ranges::max_element(truth, {}, [](double t) { return std::fabs(t); }));
    for (std::size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(coefficients[i]["value"].get<double>(), truth[i], fit.tolerance * largest) << "coefficient " << i + 1;

    // Corrected Fo² against Fc²·OSF², record by record.
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
    std::vector<std::string> legacy_options = common;
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
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"g.fcf", "g.res"}));
    }
}

}  // namespace
}  // namespace velor::testing
