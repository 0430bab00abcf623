// The summary files of a run (--json, --cif) and the fit options of the
// command line, on whole runs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "support/process.hpp"
#include "textio/numeric_fields.hpp"

namespace velor::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}

// Data made with a known model of each fit type and Gaussian noise of σ:
// the goodness of fit is close to 1 (its spread is about 1/√(2n), 0.011
// for these 4,000 reflections, so 0.05 is over four of it), and the esds
// are the spread of the coefficients about the true ones: about 68 % lie
// within one esd and 95 % within two, neither fewer nor more.  Over these
// 480 coefficients the binomial spread of the two shares is 2.1 and 1.0
// points, more since the coefficients of one fit are correlated; the
// limits allow 12 points and, for two esds, 5 below and 4 above.  Esds too
// large by half fail as surely as ones too small.  The seeds are fixed:
// the outcome is the same on every run.
TEST(Summary, StatisticsAgainstTheTruth) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    ScratchFolder dir("truth");
    int within_one = 0, within_two = 0, coefficients = 0;
    for (const char* seed : {"31", "32", "33", "34", "35", "36", "37", "38"}) {
        for (const char* fit : {"C", "Q", "L", "F"}) {
            SCOPED_TRACE(std::string(seed) + fit);
            const auto gen = run_program(dir.path(), {program_path("velor-gen"), "--out", "g", "--fit", fit,
                                                      "--reflections", "4000", "--noise", "1", "--seed", seed,
                                                      "--print-model"});
            ASSERT_EQ(gen.status, 0) << gen.err;
            std::istringstream model(gen.out);
            std::vector<double> truth;
            for (double v; model >> v;) truth.push_back(v);
            ASSERT_EQ(run_velor(dir.path(), {"--json", "g.json", "g", fit}).status, 0);
            const json summary = json::parse(read_file(dir / "g.json"));
            EXPECT_NEAR(summary["goodness_of_fit"].get<double>(), 1.0, 0.05);
            ASSERT_EQ(summary["coefficients"].size(), truth.size());
            for (std::size_t p = 0; p < truth.size(); ++p) {
                const json& c = summary["coefficients"][p];
                const double miss = std::abs(c["value"].get<double>() - truth[p]), esd = c["esd"].get<double>();
                within_one += miss <= esd;
                within_two += miss <= 2.0 * esd;
                ++coefficients;
            }
        }
    }
    ASSERT_EQ(coefficients, 480);
    EXPECT_GE(within_one, coefficients * 56 / 100) << within_one << " within one esd";
    EXPECT_LE(within_one, coefficients * 80 / 100) << within_one << " within one esd";
    EXPECT_GE(within_two, coefficients * 90 / 100) << within_two << " within two esds";
    EXPECT_LE(within_two, coefficients * 99 / 100) << within_two << " within two esds";
}

// Each coefficient of the summary is named by its tensor component and
// power of sin²θ, as the fit types nest: the cubic fit's powers run from
// 2 down to −1, each smaller fit has the last of them.
TEST(Summary, CoefficientsNamedByComponentAndPower) {
    const fs::path data = test_data() / "golden" / "cubic";
    ScratchFolder dir("labels");
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(data / name, dir / name);
    const struct {
        const char *fit, *labels;
    } cases[] = {
        {"C", "h2+2 k2+2 l2+2 hk+2 hl+2 kl+2 h2+1 k2+1 l2+1 hk+1 hl+1 kl+1 "
              "h2+0 k2+0 l2+0 hk+0 hl+0 kl+0 h2-1 k2-1 l2-1 hk-1 hl-1 kl-1"},
        {"Q", "h2+1 k2+1 l2+1 hk+1 hl+1 kl+1 h2+0 k2+0 l2+0 hk+0 hl+0 kl+0 h2-1 k2-1 l2-1 hk-1 hl-1 kl-1"},
        {"L", "h2+0 k2+0 l2+0 hk+0 hl+0 kl+0 h2-1 k2-1 l2-1 hk-1 hl-1 kl-1"},
        {"F", "h2-1 k2-1 l2-1 hk-1 hl-1 kl-1"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(run_velor(dir.path(), {"--json", "g.json", "g", c.fit}).status, 0) << c.fit;
        const json summary = json::parse(read_file(dir / "g.json"));
        std::string labels;
        for (std::size_t p = 0; p < summary["coefficients"].size(); ++p) {
            const json& coefficient = summary["coefficients"][p];
            EXPECT_EQ(coefficient["p"], p + 1);
            const int power = coefficient["power"].get<int>();
            if (p > 0) labels += ' ';
            labels += coefficient["component"].get<std::string>() + (power < 0 ? "-" : "+") + std::to_string(std::abs(power));
        }
        EXPECT_EQ(labels, c.labels) << c.fit;
    }
}

// The fit options of the command line take the place of the dialogue's
// answers: the same files, and the echo shows the values.
TEST(Summary, OptionsGiveTheFilesOfTheDialogue) {
    const fs::path data = test_data() / "golden" / "cubic";
    ScratchFolder with_dialogue("dialogue"), with_options("options");
    for (const ScratchFolder* dir : {&with_dialogue, &with_options})
        for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(data / name, *dir / name);
    const auto asked = run_velor(with_dialogue.path(), {"g"}, "y\nq\n0.05\n0.13\n4\n");
    const auto told = run_velor(with_options.path(), {"--sin-min", "0.05", "--sin-max=0.13", "--omit", "4", "g", "q"});
    ASSERT_EQ(asked.status, 0) << asked.err;
    ASSERT_EQ(told.status, 0) << told.err;
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"})
        EXPECT_EQ(read_file(with_options / name), read_file(with_dialogue / name)) << name;
    EXPECT_NE(told.out.find("      Sin(theta)min. = 0.05\r\n      Sin(theta)max. = 0.13\r\n      OMIT parameter = 4.00\r\n"),
              std::string::npos) << told.out;
    EXPECT_EQ(told.out.find("Do you want"), std::string::npos);
    // A refused value is a usage error, before anything is read or written.
    const auto refused = run_velor(with_options.path(), {"--sin-max", "2", "g"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(lines_of(refused.err), (std::vector<std::string>{
                                          "velor: option --sin-max: 2 is not acceptable (sin-min < value <= 1, 0 "
                                          "meaning 1)",
                                          "velor: see 'velor --help' for the options"}));
    EXPECT_EQ(refused.out, "");
}

// The warnings of the figures of trust come only with a summary file.  A
// cubic fit to 350 reflections of a monoclinic crystal whose true scale is
// 1 everywhere fits their noise: corrected by fits made without them, the
// reflections left out are worse than before, whatever the thresholds of
// the other warnings.  A linear fit to 4,000 reflections of a linear truth
// improves them.
TEST(Summary, TrustWarningsCatchAnOverFit) {
    if (program_path("velor-gen").empty()) GTEST_SKIP() << "generator not built";
    // Each warning by the words before its first colon.
    const auto kinds = [](const std::string& err) {
        std::string out;
        for (const std::string& line : lines_of(err)) out += line.substr(0, line.find(':', 16)) + "\n";
        return out;
    };
    const std::string over_fit = "velor: warning: the correction does not improve the reflections left out of the fit\n";
    const std::string not_flat = "velor: warning: the recommended fit is flat (F), not the ";
    const struct {
        std::vector<std::string> generated, run;
        std::string warnings;
    } cases[] = {
        // A cubic fit to 350 reflections of a scale that is 1 everywhere fits noise.
        {{"--reflections", "350", "--delta-u", "0,0,0,0,0,0"}, {"--json", "g.json", "g", "C"},
         over_fit + not_flat + "cubic (C) fit used\n"},
        {{"--reflections", "350", "--delta-u", "0,0,0,0,0,0"}, {"g", "C"}, ""},  // no figures without a summary
        {{"--reflections", "4000", "--fit", "L"}, {"--cif", "g.cif", "g", "L"}, not_flat + "linear (L) fit used\n"},
        {{"--reflections", "4000", "--fit", "L"}, {"--html", "g.html", "--fit", "auto", "g"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.run));
        ScratchFolder dir("advice");
        std::vector<std::string> generate{"--out", "g", "--system", "monoclinic", "--noise", "1", "--seed", "3"};
        generate.insert(generate.end(), c.generated.begin(), c.generated.end());
        ASSERT_EQ(run_program(dir.path(), program_path("velor-gen"), generate).status, 0);
        const auto r = run_velor(dir.path(), c.run);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(kinds(r.err), c.warnings) << r.err;
    }
}

// The JSON summary read back agrees with the report on the console; the CIF
// fragment is CIF.
TEST(Summary, FilesAgreeWithTheReport) {
    const fs::path data = test_data() / "golden" / "cubic";
    ScratchFolder dir("summary");
    for (const char* name : {"g.res", "g.fcf"}) fs::copy_file(data / name, dir / name);
    const auto r = run_velor(dir.path(), {"--json", "s.json", "--cif", "s.cif", "g", "C"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The console and the three files are those of the run without summary.
    EXPECT_EQ(r.out, read_file(data / "expected.stdout"));
    for (const char* name : {"gx.hkl", "gx.ins", "gx.abs"}) EXPECT_EQ(read_file(dir / name), read_file(data / name));

    const std::string text = read_file(dir / "s.json");
    const json s = json::parse(text);
    EXPECT_EQ(s["schema"], 1);
    EXPECT_EQ(s["files"]["hkl"], "gx.hkl");
    EXPECT_EQ(s["fit"]["parameters"], 24);
    EXPECT_EQ(s["fit"]["exponents"], json::parse("[2, 1, 0, -1]"));  // of sin^2(theta), term by term
    // Single-precision values in their own shortest form, not that of the
    // double they convert to (0.7107300162315369).
    for (const char* line : {"    \"wavelength\": 0.71073,", "      \"b\": 11.2345,", "    \"f000\": 448.0",
                             "    \"extinction_limit\": 0.2950668,"})
        EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    const json& n = s["reflections"];
    EXPECT_EQ(n["read"], 60);
    EXPECT_EQ(n["read"].get<long>(), n["accepted"].get<long>() + n["rejected"].get<long>());
    EXPECT_EQ(n["accepted"], 55);
    // Report rows 12 to 23, as the summary gives their numbers.
    const std::vector<std::string> report = lines_of(read_file(dir / "gx.abs"));
    for (int j = 0; j < 6; ++j) {
        std::string row = " |   ";
        for (int i = 0; i < 4; ++i) row += textio::format_f(s["coefficients"][j + 6 * i]["value"].get<double>(), 10, 4);
        EXPECT_EQ(report[static_cast<std::size_t>(11 + j)].substr(0, 45), row);
    }
    const json& sf = s["scale_factors"];
    EXPECT_EQ(report[18].substr(43, 21), textio::format_f(sf["report_min"].get<double>(), 8, 3) + " and " +
                                             textio::format_f(sf["report_max"].get<double>(), 8, 3));
    EXPECT_EQ(report[22].substr(43, 21), textio::format_f(s["r_values"]["before"].get<double>(), 8, 3) + " and " +
                                             textio::format_f(s["r_values"]["after"].get<double>(), 8, 3));
    long in_shells = 0, in_histogram = 0;
    for (const json& shell : s["shells"]) in_shells += shell["count"].get<long>();
    for (const json& bin : sf["histogram"]) in_histogram += bin["count"].get<long>();
    EXPECT_EQ(in_shells, 60);
    EXPECT_EQ(in_histogram, 60);
    // Every warning of the run, those of the figures of trust too, in the
    // order of standard error.
    std::vector<std::string> warned;
    for (const std::string& line : lines_of(r.err)) warned.push_back(line.substr(std::string("velor: warning: ").size()));
    EXPECT_EQ(s["warnings"].get<std::vector<std::string>>(), warned);
    EXPECT_EQ(warned.front().substr(0, 24), "only 55 reflections pass");
    // The block of trust: its keys in their order, and the figures other
    // parts of the summary give too.
    // Read in the file's own order of keys.
    const nlohmann::ordered_json o = nlohmann::ordered_json::parse(text);
    const nlohmann::ordered_json& t = o["trust"];
    const auto keys = [](const nlohmann::ordered_json& object) {
        std::string names;
        for (const auto& [key, value] : object.items()) names += key + " ";
        return names;
    };
    EXPECT_EQ(keys(o), "schema program files crystal fit reflections coefficients chi_squared goodness_of_fit "
                       "r_values scale_factors shells trust warnings cif ");
    EXPECT_EQ(keys(t), "folds sin_theta_max coverage r_before fit_types uncertainty recommended_fit ");
    EXPECT_EQ(keys(t["coverage"]), "angle_degrees sampled_share ");
    EXPECT_EQ(keys(t["uncertainty"]), "sigma_s_over_s_median sigma_s_over_s_max directions_sigma_s_over_s_median "
                                      "directions_sigma_s_over_s_max ");
    EXPECT_EQ(t["r_before"], o["r_values"]["before"]);
    ASSERT_EQ(t["fit_types"].size(), 4u);
    std::string letters;
    for (const nlohmann::ordered_json& f : t["fit_types"]) {
        letters += f["letter"].get<std::string>() + std::to_string(f["parameters"].get<int>()) + " ";
        EXPECT_EQ(keys(f), "letter parameters chi_squared_per_reflection goodness_of_fit cross_validated directions "
                           "displacement ");
        EXPECT_EQ(keys(f["cross_validated"]), "r_after chi_squared_per_reflection ");
        EXPECT_EQ(keys(f["directions"]), "s_sampled_min s_sampled_max s_all_min s_all_max sigma_s_over_s_median "
                                         "sigma_s_over_s_max ");
        EXPECT_EQ(keys(f["displacement"]), "delta_u delta_u_eq rms_direction_only rms_displacement_like share ");
        EXPECT_EQ(f["displacement"]["delta_u"].size(), 6u);
    }
    EXPECT_EQ(letters, "C24 Q18 L12 F6 ");
    // The run's own fit is the cubic one, solved from sums in another order.
    const double run_sigma = t["uncertainty"]["directions_sigma_s_over_s_max"].get<double>();
    EXPECT_NEAR(run_sigma, t["fit_types"][0]["directions"]["sigma_s_over_s_max"].get<double>(), 0.01 * run_sigma);
    EXPECT_EQ(s["cif"]["_exptl_absorpt_correction_type"], "refdelf");

    const std::string cif = read_file(dir / "s.cif");
    EXPECT_NE(cif.find("\n_exptl_absorpt_correction_type    refdelf\n"), std::string::npos) << cif;
    EXPECT_NE(cif.find("(cubic fit, 24 parameters, 55 of 60 reflections used); R before 0.093, after 0.000, "
                       "cross-validated 0.000 (10 folds)\n"),
              std::string::npos)
        << cif;
    // A real CIF reader, where one is installed, reads it as a data block.
    if (std::system("command -v gemmi > /dev/null 2>&1") != 0) GTEST_SKIP() << "gemmi not installed";
    write_file(dir / "block.cif", "data_test\n" + cif);
    const auto check = run_program(dir.path(), {"gemmi", "cif2json", "block.cif", "block.json"});
    ASSERT_EQ(check.status, 0) << check.err;
    const json block = json::parse(read_file(dir / "block.json"));
    EXPECT_EQ(block.dump().find("refdelf") != std::string::npos, true) << block.dump();
}

}  // namespace
}  // namespace velor::testing
