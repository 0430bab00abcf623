// Tests of velor-gen, the synthetic NAME.res + NAME.fcf generator: the field
// writer, the record layouts, the file structure and the true scale model.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "gen/crystal.hpp"
#include "gen/detmath.hpp"
#include "gen/fixed_format.hpp"
#include "gen/generator.hpp"
#include "gen/writers.hpp"

namespace fs = std::filesystem;
using namespace velor::gen;

namespace {

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines without their LF (a CR before it stays part of the line).
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

double to_double(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::vector<double> numbers(std::string_view s) {
    std::vector<double> out;
    std::istringstream in{std::string(s)};
    for (std::string tok; in >> tok;) out.push_back(to_double(tok));
    return out;
}

struct Generated {
    int status = -1;
    std::string res, fcf, out, err;
    // Reflection records: the lines between the reflection loop header and the terminator.
    std::vector<std::string> records;
    std::string terminator;
    bool terminator_is_last = false;
};

// Runs the generator with `args` plus --out into a fresh directory.
Generated generate_files(std::vector<std::string> args) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path dir = fs::temp_directory_path() / "velor_gen_test" /
                         (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir);
    args.push_back("--out");
    args.push_back((dir / "T").string());
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out, err;
    Generated g;
    g.status = run(views, out, err);
    g.out = out.str();
    g.err = err.str();
    if (g.status != 0) return g;
    g.res = read_file(dir / "T.res");
    g.fcf = read_file(dir / "T.fcf");
    const std::vector<std::string> lines = split_lines(g.fcf);
    std::size_t i = 0;
    while (i < lines.size() && lines[i].rfind(" _refln_observed_status", 0) != 0) ++i;
    for (++i; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.find_first_not_of(" \r") == std::string_view::npos) {
            g.terminator = lines[i];
            g.terminator_is_last = i + 1 == lines.size();
            break;
        }
        g.records.push_back(lines[i]);
    }
    return g;
}

std::string fixed(double x, int w, int d) {
    std::string s(static_cast<std::size_t>(w), '?');
    put_fixed(s.data(), w, d, x);
    return s;
}

}  // namespace

// ---------------------------------------------------------------- field writer

TEST(FixedField, RoundsHalfAwayFromZeroOnTheStoredValue) {
    struct Case {
        double value;
        int w, d;
        std::string_view expected;
    };
    // Exact binary values from Python's decimal.Decimal(float).
    const Case cases[] = {
        {0.125, 4, 2, "0.13"},  // exact tie: away from zero, not to even
        {-0.125, 5, 2, "-0.13"},
        {0.375, 6, 2, "  0.38"},
        {2.675, 6, 2, "  2.67"},        // stored as 2.67499999999999982...
        {1.005, 6, 2, "  1.00"},        // stored as 1.00499999999999989...
        {8.345, 6, 2, "  8.35"},        // stored as 8.34500000000000063...
        {1234.565, 8, 2, " 1234.57"},   // stored as 1234.56500000000005...
        {99999.995, 8, 2, "99999.99"},  // stored as 99999.99499999999534...
        {123456789.125, 14, 2, "  123456789.13"},
        {2.5, 5, 0, "   3."},
        {-2.5, 5, 0, "  -3."},
        {0.0, 8, 2, "    0.00"},
        {-0.004, 8, 2, "   -0.00"},  // a negative value keeps its sign
        {0.5, 4, 2, "0.50"},
        {0.5, 3, 2, ".50"},  // no column for the leading zero
        {-0.5, 4, 2, "-.50"},
        {9999999.99, 10, 2, "9999999.99"},
        {-999999.99, 10, 2, "-999999.99"},
        {-9999999.99, 10, 2, "**********"},
        {99999.996, 8, 2, "********"},  // rounds up to 100000.00
        {12345678.9, 10, 2, "**********"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(fixed(c.value, c.w, c.d), c.expected);
    }
}

TEST(IntField, RightJustifiesAndOverflows) {
    struct Case {
        long long value;
        std::string_view expected;
    };
    const Case cases[] = {
        {-5, "  -5"}, {0, "   0"}, {-999, "-999"}, {12345, "****"}, {-1000, "****"}};
    for (const Case& c : cases) {
        std::string s(4, '?');
        put_int(s.data(), 4, c.value);
        EXPECT_EQ(s, c.expected) << c.value;
    }
}

// -------------------------------------------------------------- record layout

TEST(ReflectionRecord, BothLayoutsColumnByColumn) {
    struct Case {
        Layout layout;
        double fc2, fo2, sigma;
        std::string_view expected;
    };
    const Case cases[] = {
        {Layout::legacy, 123.45, 120.0, 3.0, "   1  -2   3      123.45      120.00      3.00 o"},
        {Layout::current, 123.45, 120.0, 3.0,
         "   1  -2   3        123.45        120.00         3.00 o"},
        // Values beyond a field are clamped to the widest value it shows.
        {Layout::legacy, 0.01, -123456789.0, 12345678.9,
         "   1  -2   3        0.01-99999999.999999999.99 o"},
    };
    const fs::path path = fs::temp_directory_path() / "velor_gen_test_record.txt";
    for (const Case& c : cases) {
        {
            LineSink sink(path.string(), false);
            write_reflection(sink, c.layout, {1, -2, 3}, c.fc2, c.fo2, c.sigma);
            sink.close();
        }
        EXPECT_EQ(read_file(path), std::string(c.expected) + "\n");
    }
}

// ----------------------------------------------------------- generated files

TEST(FcfFile, RecordColumnsAndTerminatorOfEachLayout) {
    struct Case {
        std::string_view layout;
        std::size_t length;
        std::size_t points[3];  // 1-based columns of the decimal points
        std::string terminator;
    };
    const Case cases[] = {
        {"current", 55, {24, 38, 51}, std::string(48, ' ')},
        {"legacy", 48, {22, 34, 44}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        const Generated g = generate_files({"--layout", std::string(c.layout), "--dmin", "1.0",
                                            "--noise", "1", "--negative-fraction", "0.1"});
        ASSERT_EQ(g.status, 0) << g.err;
        ASSERT_GT(g.records.size(), 500u);
        bool has_negative = false;
        for (const std::string& r : g.records) {
            ASSERT_EQ(r.size(), c.length) << r;
            for (std::size_t p : c.points) ASSERT_EQ(r[p - 1], '.') << r;
            ASSERT_EQ(r.substr(c.length - 2), " o") << r;
            has_negative = has_negative || numbers(r)[4] < 0;
        }
        EXPECT_TRUE(has_negative);
        EXPECT_EQ(g.terminator, c.terminator);
        EXPECT_TRUE(g.terminator_is_last);
    }
}

TEST(FcfFile, LineEnds) {
    for (const bool crlf : {false, true}) {
        SCOPED_TRACE(crlf);
        std::vector<std::string> args = {"--dmin", "2.0"};
        if (crlf) args.push_back("--crlf");
        const Generated g = generate_files(args);
        ASSERT_EQ(g.status, 0) << g.err;
        for (const std::string* text : {&g.fcf, &g.res}) {
            ASSERT_FALSE(text->empty());
            EXPECT_EQ(text->back(), '\n');
            for (const std::string& line : split_lines(*text)) {
                const bool ends_in_cr = !line.empty() && line.back() == '\r';
                ASSERT_EQ(ends_in_cr, crlf) << line;
                ASSERT_EQ(line.find('\r'), crlf ? line.size() - 1 : std::string::npos) << line;
            }
        }
    }
}

TEST(FcfFile, SameSeedSameBytes) {
    const std::vector<std::string> base = {"--dmin",
                                           "1.2",
                                           "--noise",
                                           "1",
                                           "--weak-fraction",
                                           "0.05",
                                           "--negative-fraction",
                                           "0.02",
                                           "--extinction",
                                           "0.01",
                                           "--print-model"};
    auto with_seed = [&](std::string seed) {
        std::vector<std::string> args = base;
        args.insert(args.end(), {"--seed", seed});
        return generate_files(args);
    };
    const Generated a = with_seed("7"), b = with_seed("7"), c = with_seed("8");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.fcf, b.fcf);
    EXPECT_EQ(a.res, b.res);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.fcf, c.fcf);
    EXPECT_NE(a.out, c.out);  // the model seed follows --seed unless given
}

TEST(FcfFile, HeaderF000Line) {
    // The data name fills columns 1-20 and the value follows from column 21.
    const Generated given = generate_files({"--dmin", "2.0", "--f000", "1234.5"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_NE(given.fcf.find("\n_exptl_crystal_F_000      1234.50\n"), std::string::npos);

    const Generated g = generate_files({"--dmin", "2.0"});
    ASSERT_EQ(g.status, 0) << g.err;
    const std::size_t at = g.fcf.find("\n_exptl_crystal_F_000");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(g.fcf[at + 21], ' ');
    EXPECT_GT(to_double(g.fcf.substr(at + 21, 13)), 100.0);
}

TEST(FcfFile, AxialOnlyAndEmpty) {
    const Generated axial = generate_files({"--axial-only", "--reflections", "1000"});
    ASSERT_EQ(axial.status, 0) << axial.err;
    ASSERT_EQ(axial.records.size(), 1000u);
    for (const std::string& r : axial.records) {
        const std::vector<double> v = numbers(r);
        ASSERT_EQ((v[0] == 0) + (v[1] == 0) + (v[2] == 0), 2) << r;
    }

    const Generated empty = generate_files({"--empty"});
    ASSERT_EQ(empty.status, 0) << empty.err;
    EXPECT_TRUE(empty.records.empty());
    EXPECT_EQ(empty.terminator, std::string(48, ' '));
    EXPECT_TRUE(empty.terminator_is_last);
    EXPECT_NE(empty.res.find(" for all 0 data\n"), std::string::npos);
}

TEST(FcfFile, ReflectionCountIsExact) {
    // 5000 fit into the resolution sphere; 200000 need symmetry-equivalent repeats.
    for (const char* n : {"5000", "200000"}) {
        const Generated g = generate_files({"--reflections", n});
        ASSERT_EQ(g.status, 0) << g.err;
        EXPECT_EQ(std::to_string(g.records.size()), n);
        EXPECT_NE(g.res.find(std::string(" for all ") + n + " data\n"), std::string::npos);
    }
}

TEST(FcfFile, PinnedBytesForASeed) {
    // Same seed, same bytes, on every platform and compiler: the generator uses
    // its own random numbers and elementary functions. These lines pin that
    // stream; a deliberate change of the intensity or scale model changes them.
    const Generated g =
        generate_files({"--dmin", "3", "--seed", "11", "--noise", "1", "--print-model"});
    ASSERT_EQ(g.status, 0) << g.err;
    ASSERT_EQ(g.records.size(), 76u);
    EXPECT_EQ(g.records[0], "   1   0   0       5321.67       6568.24        81.60 o");
    EXPECT_EQ(g.records[2], "   3   0   0       4710.37       5768.78        76.39 o");
    EXPECT_EQ(g.out.substr(0, g.out.find('\n')), "-1.4008685087027046");
}

// ------------------------------------------------------------------ .res file

TEST(ResFile, CellLineFvarAndEnd) {
    struct Case {
        std::vector<std::string> args;
        std::size_t cell_line;  // 0-based
    };
    const Case cases[] = {{{"--dmin", "2.0", "--osf", "0.12345"}, 3},
                          {{"--dmin", "2.0", "--osf", "0.12345", "--legacy-res"}, 1}};
    for (const Case& c : cases) {
        const Generated g = generate_files(c.args);
        ASSERT_EQ(g.status, 0) << g.err;
        const std::vector<std::string> lines = split_lines(g.res);
        EXPECT_EQ(lines[0].substr(0, 5), "TITL ");
        EXPECT_EQ(lines[c.cell_line],
                  "CELL 0.71073  10.5321  12.3456  15.7012  90.000 101.234  90.000");
        std::size_t fvar = 0, end = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (fvar == 0 && lines[i].rfind("FVAR", 0) == 0) fvar = i;
            if (end == 0 && lines[i] == "END") end = i;
        }
        ASSERT_GT(fvar, 0u);
        EXPECT_EQ(lines[fvar], "FVAR       0.12345   0.50000");
        ASSERT_GT(end, fvar);
        EXPECT_LT(end + 3, lines.size());  // text after END, as real files have
        for (const std::string& line : lines) EXPECT_LE(line.size(), 79u) << line;
    }
}

// ------------------------------------------------------------- scale model

namespace {

struct Crystal {
    double lambda, a_star, b_star, c_star, cos_alpha_star, cos_beta_star, cos_gamma_star;
};

// Reciprocal cell from the CELL line, by the textbook formulas in double
// precision (independent of the generator's single-precision route).
Crystal crystal_from_res(const std::string& res) {
    const std::size_t at = res.find("CELL ");
    const std::vector<double> v = numbers(res.substr(at + 5, res.find('\n', at) - at - 5));
    const double rad = 3.14159265358979323846 / 180.0;
    const double ca = std::cos(v[4] * rad), cb = std::cos(v[5] * rad), cg = std::cos(v[6] * rad);
    const double sa = std::sin(v[4] * rad), sb = std::sin(v[5] * rad), sg = std::sin(v[6] * rad);
    const double vol =
        v[1] * v[2] * v[3] * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
    return {v[0],
            v[2] * v[3] * sa / vol,
            v[1] * v[3] * sb / vol,
            v[1] * v[2] * sg / vol,
            (cb * cg - ca) / (sb * sg),
            (ca * cg - cb) / (sa * sg),
            (ca * cb - cg) / (sa * sb)};
}

}  // namespace

TEST(TrueModel, NoiseFreeDataFollowThePrintedCoefficients) {
    struct Case {
        std::string_view fit;
        std::string_view system;
        std::vector<int> powers;  // of sin^2(theta), term by term
    };
    const Case cases[] = {{"C", "triclinic", {2, 1, 0, -1}},
                          {"Q", "monoclinic", {1, 0, -1}},
                          {"L", "hexagonal", {0, -1}},
                          {"F", "orthorhombic", {-1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fit);
        const Generated g =
            generate_files({"--fit", std::string(c.fit), "--system", std::string(c.system),
                            "--dmin", "0.9", "--model-seed", "3", "--print-model"});
        ASSERT_EQ(g.status, 0) << g.err;
        const std::vector<double> x = numbers(g.out);
        ASSERT_EQ(x.size(), 6 * c.powers.size());
        const Crystal cr = crystal_from_res(g.res);
        const std::size_t f000_at = g.fcf.find("_exptl_crystal_F_000");
        const double f000 = to_double(g.fcf.substr(f000_at + 20, 13));

        double s_min = 10, s_max = 0;
        for (const std::string& r : g.records) {
            const std::vector<double> v = numbers(r);
            const double h = v[0], k = v[1], l = v[2], fc2 = v[3], fo2 = v[4];
            const double t[6] = {
                h * h * cr.a_star * cr.a_star / 4, k * k * cr.b_star * cr.b_star / 4,
                l * l * cr.c_star * cr.c_star / 4, h * k * cr.a_star * cr.b_star / 2,
                h * l * cr.a_star * cr.c_star / 2, k * l * cr.b_star * cr.c_star / 2};
            const double l2 = cr.lambda * cr.lambda;
            const double s = l2 * (t[0] + t[1] + t[2] + t[3] * cr.cos_gamma_star +
                                   t[4] * cr.cos_beta_star + t[5] * cr.cos_alpha_star);
            double scale = 0;
            for (std::size_t i = 0; i < c.powers.size(); ++i)
                for (std::size_t j = 0; j < 6; ++j)
                    scale += x[j + 6 * i] * std::pow(s, c.powers[i]) * t[j];
            scale *= l2;
            s_min = std::min(s_min, scale);
            s_max = std::max(s_max, scale);
            // Fo^2 = S Fc^2 up to the rounding of Fo^2 to two decimals.
            ASSERT_NEAR(fo2, scale * fc2, 0.0051 + 1e-6 * fo2) << r;
            // The intensity-ceiling screen passes every reflection with the default F(000).
            ASSERT_LE(fo2 / std::exp(-157.92 * 0.005 * s / l2), 0.25 * f000 * f000) << r;
        }
        EXPECT_GE(s_min, 0.6);
        EXPECT_LE(s_max, 1.6);
        EXPECT_GT(s_max - s_min, 0.1);  // the model is not trivially flat
    }
}

// ---------------------------------------------------------------- symmetry

TEST(LaueGroup, OrderAndRepresentative) {
    struct Case {
        CrystalSystem system;
        int order;
        Miller member, representative;
    };
    const Case cases[] = {
        {CrystalSystem::triclinic, 2, {1, 2, -3}, {-1, -2, 3}},
        {CrystalSystem::monoclinic, 4, {-1, -2, -3}, {1, 2, 3}},
        {CrystalSystem::orthorhombic, 8, {-1, 2, -3}, {1, 2, 3}},
        {CrystalSystem::tetragonal, 8, {2, -1, -3}, {1, 2, 3}},  // 4-fold: (h,k,l) -> (-k,h,l)
        {CrystalSystem::hexagonal,
         12,
         {-3, 1, -2},
         {-2, 3, 2}},  // (h,k,l) -> (h+k,-h,l) keeps h^2+hk+k^2
        {CrystalSystem::cubic, 24, {3, -1, 2}, {1, 2, 3}},  // cyclic permutations, all signs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(system_name(c.system));
        const LaueGroup g(c.system);
        EXPECT_EQ(g.order(), c.order);
        EXPECT_EQ(g.representative(c.member), c.representative);
        EXPECT_TRUE(g.is_representative(c.representative));
    }
}

// ------------------------------------------------------- deterministic math

TEST(DetMath, AgreesWithTheCLibrary) {
    for (const double x : {-700.0, -37.3, -1.0, -1e-9, 0.0, 0.34, 1.0, 10.5, 700.0})
        EXPECT_NEAR(detmath::exp(x), std::exp(x), 4e-16 * std::exp(x)) << x;
    for (const double x : {1e-300, 1e-5, 0.3, 0.7071, 1.0, 1.4142, 12345.6, 1e300})
        EXPECT_NEAR(detmath::log(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x))))
            << x;
    for (const double x : {0.0, 0.5, 1.5707963705062866, 2.0943951023931953, 3.14159265, 100.0}) {
        const detmath::SinCos sc = detmath::sincos(x);
        EXPECT_NEAR(sc.sin, std::sin(x), 1e-15) << x;
        EXPECT_NEAR(sc.cos, std::cos(x), 1e-15) << x;
    }
    // cos of 90 degrees converted with the single-precision pi: not zero.
    EXPECT_NEAR(detmath::sincos(1.5707963705062866).cos, -4.371139000186241e-08, 1e-22);
}

// ----------------------------------------------------------- command line

TEST(CommandLine, RejectsBadOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string_view message;
    };
    const Case cases[] = {
        {{"--fit", "Z"}, "--fit: expected C, Q, L or F"},
        {{"--reflections", "10", "--dmin", "1"}, "exclude each other"},
        {{"--dmin", "0.3"}, "below the limit lambda/2"},
        {{"--cell", "10,11,12,90,100,90", "--system", "orthorhombic"},
         "metric of the orthorhombic"},
        {{"--cell", "10,11,12,90"}, "--cell: expected a,b,c,alpha,beta,gamma"},
        {{"--negative-fraction", "0.7", "--weak-fraction", "0.5"}, "add up to more than 1"},
        {{"--layout", "jana"}, "expected current or legacy"},
        {{"--bogus"}, "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        const Generated g = generate_files(c.args);
        EXPECT_EQ(g.status, 2);
        EXPECT_NE(g.err.find(c.message), std::string::npos) << g.err;
    }
}
