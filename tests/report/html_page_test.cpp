// The report page on whole runs: well-formed XML with its text escaped, the
// same bytes from the same run, maps drawn from a fit that put the
// extremes of S where the true model has them, unsampled directions grey,
// and a page a browser renders.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "input/crystal_data.hpp"
#include "model/correction_surface.hpp"
#include "support/process.hpp"
#include "textio/output_channel.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;

bool installed(const std::string& program) {
    return std::system(std::string("command -v ").append(program).append(" > /dev/null 2>&1").c_str()) == 0;
}

// The cubic golden data under a stem that XML must escape, and a page of
// the run on them.
const std::string kStem = "a&<\"b'";

std::string make_page(const ScratchFolder& dir, const std::string& page) {
    const fs::path data = test_data() / "golden" / "cubic";
    for (const char* extension : {".res", ".fcf"})
        if (!fs::exists(dir / (kStem + extension)))
            fs::copy_file(data / (std::string("g") + extension), dir / (kStem + extension));
    const auto run = run_velor(dir.path(), {"--html", page, kStem, "C"});
    EXPECT_EQ(run.status, 0) << run.err;
    return read_file(dir / page);
}

TEST(HtmlPage, WellFormedEscapedAndTheSameEachRun) {
    ScratchFolder dir("html");
    const std::string page = make_page(dir, "p.html");
    const fs::path golden = test_data() / "golden" / "cubic";
    for (const char* extension : {"x.hkl", "x.ins", "x.abs"})
        EXPECT_EQ(read_file(dir / (kStem + extension)), read_file(golden / (std::string("g") + extension)))
            << extension;
    EXPECT_EQ(make_page(dir, "q.html"), page);
    EXPECT_NE(page.find("<code>a&amp;&lt;&quot;b&#39;</code>"), std::string::npos);
    EXPECT_EQ(page.find(kStem), std::string::npos);
    EXPECT_NE(page.find("only 55 reflections passed"), std::string::npos) << "the warning is on the page";
    if (!installed("xmllint")) GTEST_SKIP() << "xmllint not installed (Debian: libxml2-utils)";
    const auto check = run_program(dir.path(), "xmllint", {"--noout", "p.html"});
    EXPECT_EQ(check.status, 0) << check.err;
}

// A browser loads the page and builds its plots and tables.
TEST(HtmlPage, RendersInABrowser) {
    if (!installed("chromium")) GTEST_SKIP() << "chromium not installed";
    ScratchFolder dir("browser");
    make_page(dir, "p.html");
    const auto dom = run_program(
        dir.path(), "timeout",
        {"120", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + (dir / "profile").string(), "--dump-dom", "file://" + (dir / "p.html").string()});
    ASSERT_EQ(dom.status, 0) << dom.err;
    const auto count = [&](const std::string& what) {
        long n = 0;
        for (std::size_t at = dom.out.find(what); at != std::string::npos; at = dom.out.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("<svg xmlns"), 7) << "three charts, three maps and a colour bar";
    EXPECT_EQ(count("<table"), 8) << "with the table of the four fit types";
    EXPECT_EQ(count("<figure"), 7);
    EXPECT_NE(dom.out.find("_exptl_absorpt_correction_T_min"), std::string::npos);
}

// Data made with a strongly anisotropic cubic model and noise: the maps of
// the fitted model have their smallest and largest S in the directions
// where the true model has them, at each of the three resolutions.
TEST(HtmlPage, MapsShowTheExtremesOfTheTrueModel) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    ScratchFolder dir("maps");
    const auto gen = run_program(dir.path(), program_path("velor-gen"),
                                 {"--out", "g", "--fit", "C", "--system", "triclinic", "--reflections", "20000",
                                  "--noise", "1", "--seed", "7", "--print-model"});
    ASSERT_EQ(gen.status, 0) << gen.err;
    ASSERT_EQ(run_velor(dir.path(), {"--json", "g.json", "g", "C"}).status, 0);
    const nlohmann::json summary = nlohmann::json::parse(read_file(dir / "g.json"));
    core::Coefficients truth{}, fit{};
    std::istringstream model_text(gen.out);
    for (std::size_t p = 0; p < 24; ++p) {
        model_text >> truth[p];
        fit[p] = summary["coefficients"][p]["value"].get<double>();
    }
    std::ostringstream console_text;
    textio::ConsoleChannel console(console_text);
    const core::CrystalData crystal =
        input::read_crystal_data((dir / "g.res").string(), (dir / "g.fcf").string(), console);
    const model::ReciprocalCell rc = model::reciprocal_cell(crystal);
    const model::ScaleModel cubic(4, crystal.lambda_sq);
    const auto direction = [](const model::SurfaceGrid& g, int row, int column) {
        const double x = g.x_of(column), y = g.y_of(row), r = std::max(1.0, std::hypot(x, y));
        return model::lambert_direction(x / r, y / r);
    };
    for (int shell : {0, 4, 9}) {
        const double sin_theta = summary["shells"][shell]["sin_theta_high"].get<double>();
        SCOPED_TRACE("sin theta " + std::to_string(sin_theta));
        const auto true_grid = model::correction_surface(rc, cubic, truth, sin_theta, 64);
        const auto fit_grid = model::correction_surface(rc, cubic, fit, sin_theta, 64);
        const model::GridExtremes t = model::extremes(true_grid), f = model::extremes(fit_grid);
        // Within a few cells (2.8° each at the centre) and a few per cent
        // of the range of S.
        const double range = true_grid.at(t.max_row, t.max_column) - true_grid.at(t.min_row, t.min_column);
        for (const auto& [tr, tc, fr, fc] : {std::array{t.max_row, t.max_column, f.max_row, f.max_column},
                                             std::array{t.min_row, t.min_column, f.min_row, f.min_column}}) {
            const auto u = direction(true_grid, tr, tc), v = direction(fit_grid, fr, fc);
            EXPECT_GT(std::fabs(u[0] * v[0] + u[1] * v[1] + u[2] * v[2]), std::cos(10.0 * M_PI / 180.0));
            EXPECT_NEAR(true_grid.at(fr, fc), true_grid.at(tr, tc), 0.02 * range);
        }
    }
}

// The unique reflections of a triclinic crystal sample every direction (a
// reflection and its opposite count the same); those of a monoclinic one
// about half of them, and the maps grey the others, each map the same.
TEST(HtmlPage, MapsGreyTheDirectionsTheDataDoNotSample) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    for (const auto& [system, grey_maps] : {std::pair{"triclinic", 0}, {"monoclinic", 3}}) {
        SCOPED_TRACE(system);
        ScratchFolder dir("coverage");
        ASSERT_EQ(run_program(dir.path(), program_path("velor-gen"),
                              {"--out", "g", "--system", system, "--reflections", "2000", "--fit", "L", "--noise", "1"})
                      .status,
                  0);
        ASSERT_EQ(run_velor(dir.path(), {"--html", "g.html", "g", "L"}).status, 0);
        const std::string page = read_file(dir / "g.html");
        long grey = 0;
        for (std::size_t at = page.find("<path fill=\"#c8c8c8\""); at != std::string::npos;
             at = page.find("<path fill=\"#c8c8c8\"", at + 1))
            ++grey;
        EXPECT_EQ(grey, grey_maps);
    }
}

}  // namespace
}  // namespace velor::testing
