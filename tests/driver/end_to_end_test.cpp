// Runs on data sets made by the generator: a fit recovers the scale model
// the data were made with, and singular data stop the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/process.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

ProcessResult generate(const ScratchFolder& dir, std::vector<std::string> options) {
    options.insert(options.begin(), {program_path("velor-gen"), "--out", (dir / "g").string()});
    return run_program(dir.path(), options);
}

// Noise-free data: Fo² = S·Fc² up to the two printed decimals, so the fit
// must give back the model's coefficients.  The four powers of the cubic
// fit are nearly collinear over one resolution sphere, which amplifies the
// rounding of the printed intensities.
TEST(Recovery, FitGivesBackTheModel) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    for (const auto& [letter, tolerance] : {std::pair{"C", 1e-3}, {"Q", 1e-4}, {"L", 1e-4}, {"F", 1e-4}}) {
        SCOPED_TRACE(letter);
        ScratchFolder dir("recovery");
        const auto gen = generate(dir, {"--fit", letter, "--dmin", "0.7", "--seed", "21", "--print-model",
                                        "--system", "triclinic"});
        ASSERT_EQ(gen.status, 0) << gen.err;
        std::vector<double> truth;  // one coefficient a line
        std::istringstream model(gen.out);
        for (double v; model >> v;) truth.push_back(v);
        const auto run = run_velor(dir.path(), {"--json", "g.json", "g", letter});
        ASSERT_EQ(run.status, 0) << run.err;
        const auto coefficients = nlohmann::json::parse(read_file(dir / "g.json"))["coefficients"];
        ASSERT_EQ(coefficients.size(), truth.size());
        const double largest = std::fabs(*std::ranges::max_element(truth, {}, [](double t) { return std::fabs(t); }));
        for (std::size_t i = 0; i < truth.size(); ++i)
            EXPECT_NEAR(coefficients[i]["value"].get<double>(), truth[i], tolerance * largest) << "coefficient " << i + 1;
    }
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
