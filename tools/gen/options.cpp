#include "gen/options.hpp"

#include <charconv>
#include <string>
#include <system_error>

#include "gen/error.hpp"

namespace velor::gen {

namespace {

constexpr std::string_view kUsage =
    "usage: velor-gen --out DIR/STEM [options]\n"
    "  --system triclinic|monoclinic|orthorhombic|tetragonal|hexagonal|cubic\n"
    "  --cell a,b,c,alpha,beta,gamma   (default: a typical cell of the system)\n"
    "  --lambda L                      wavelength in Angstrom (0.71073)\n"
    "  --reflections N | --dmin D      exactly N records, or all unique d >= D (0.8)\n"
    "  --fit C|Q|L|F                   true scale model (L for lambda <= 1, else C)\n"
    "  --model-seed N                  seed of the true scale model (= --seed)\n"
    "  --seed N                        seed of intensities and noise (1)\n"
    "  --noise-seed N                  seed of the noise alone (= --seed)\n"
    "  --delta-u U11,U22,U33,U12,U13,U23\n"
    "                                  true scale exp(-4 pi^2 h'DU h) instead of a\n"
    "                                  scale model: an overall displacement in A^2,\n"
    "                                  x along a*, y in the a*b* plane\n"
    "  --osf X                         overall scale factor on the FVAR line (0.25)\n"
    "  --noise F                       Gaussian error of F sigma(Fo^2) (0)\n"
    "  --negative-fraction F           fraction of weak reflections measured < 0\n"
    "  --weak-fraction F               fraction of weak reflections\n"
    "  --extinction X                  EXTI-like extinction parameter (0)\n"
    "  --layout current|legacy         .fcf record layout (current)\n"
    "  --crlf                          CR LF line ends\n"
    "  --legacy-res                    CELL directly after TITL in the .res\n"
    "  --f000 V                        F(000) written to the .fcf header\n"
    "  --axial-only                    only h00, 0k0 and 00l reflections\n"
    "  --empty                         header and terminator only\n"
    "  --print-model                   print the true coefficients x1..xn\n";

double parse_real(std::string_view opt, std::string_view text) {
    double v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty())
        fail("option " + std::string(opt) + ": not a number: '" + std::string(text) + "'");
    return v;
}

std::uint64_t parse_unsigned(std::string_view opt, std::string_view text) {
    std::uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty())
        fail("option " + std::string(opt) + ": not an unsigned integer: '" + std::string(text) +
             "'");
    return v;
}

// Six comma-separated numbers; `names` says which, for the message.
std::array<double, 6> parse_six(std::string_view opt, std::string_view text, std::string_view names) {
    std::array<double, 6> values{};
    std::size_t n = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if (n == 6) fail("option " + std::string(opt) + ": more than six values");
        values[n++] = parse_real(opt, item);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (n != 6) fail("option " + std::string(opt) + ": expected " + std::string(names));
    return values;
}

CrystalSystem parse_system(std::string_view text) {
    for (CrystalSystem s :
         {CrystalSystem::triclinic, CrystalSystem::monoclinic, CrystalSystem::orthorhombic,
          CrystalSystem::tetragonal, CrystalSystem::hexagonal, CrystalSystem::cubic})
        if (text == system_name(s)) return s;
    fail("option --system: unknown crystal system '" + std::string(text) + "'");
}

FitType parse_fit(std::string_view text) {
    if (text.size() == 1) {
        switch (text[0]) {
            case 'C':
            case 'c': return FitType::cubic;
            case 'Q':
            case 'q': return FitType::quadratic;
            case 'L':
            case 'l': return FitType::linear;
            case 'F':
            case 'f': return FitType::flat;
            default: break;
        }
    }
    fail("option --fit: expected C, Q, L or F, got '" + std::string(text) + "'");
}

void check_range(std::string_view opt, double v, double lo, double hi) {
    if (!(v >= lo && v <= hi)) fail("option " + std::string(opt) + ": value out of range");
}

}  // namespace

std::string_view usage_text() { return kUsage; }

std::string_view system_name(CrystalSystem s) {
    switch (s) {
        case CrystalSystem::triclinic: return "triclinic";
        case CrystalSystem::monoclinic: return "monoclinic";
        case CrystalSystem::orthorhombic: return "orthorhombic";
        case CrystalSystem::tetragonal: return "tetragonal";
        case CrystalSystem::hexagonal: return "hexagonal";
        case CrystalSystem::cubic: return "cubic";
    }
    return "?";
}

char fit_letter(FitType f) {
    switch (f) {
        case FitType::cubic: return 'C';
        case FitType::quadratic: return 'Q';
        case FitType::linear: return 'L';
        case FitType::flat: return 'F';
    }
    return '?';
}

Options parse_options(std::span<const std::string_view> args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view opt = args[i];
        std::string_view value;
        bool has_inline_value = false;
        if (const std::size_t eq = opt.find('='); opt.starts_with("--") && eq != opt.npos) {
            value = opt.substr(eq + 1);
            opt = opt.substr(0, eq);
            has_inline_value = true;
        }
        auto flag = [&](bool& target) {
            if (has_inline_value) fail("option " + std::string(opt) + " takes no value");
            target = true;
        };
        auto next = [&]() -> std::string_view {
            if (has_inline_value) return value;
            if (i + 1 >= args.size()) fail("option " + std::string(opt) + " needs a value");
            return args[++i];
        };

        if (opt == "--help" || opt == "-h")
            flag(o.help);
        else if (opt == "--crlf")
            flag(o.crlf);
        else if (opt == "--legacy-res")
            flag(o.legacy_res);
        else if (opt == "--axial-only")
            flag(o.axial_only);
        else if (opt == "--empty")
            flag(o.empty);
        else if (opt == "--print-model")
            flag(o.print_model);
        else if (opt == "--out")
            o.out = std::string(next());
        else if (opt == "--system")
            o.system = parse_system(next());
        else if (opt == "--cell")
            o.cell = parse_six(opt, next(), "a,b,c,alpha,beta,gamma");
        else if (opt == "--lambda")
            o.lambda = parse_real(opt, next());
        else if (opt == "--reflections") {
            const std::uint64_t n = parse_unsigned(opt, next());
            if (n < 1 || n > 1'000'000'000) fail("option --reflections: value out of range");
            o.reflections = static_cast<std::int64_t>(n);
        } else if (opt == "--dmin")
            o.dmin = parse_real(opt, next());
        else if (opt == "--fit")
            o.fit = parse_fit(next());
        else if (opt == "--seed")
            o.seed = parse_unsigned(opt, next());
        else if (opt == "--model-seed")
            o.model_seed = parse_unsigned(opt, next());
        else if (opt == "--noise-seed")
            o.noise_seed = parse_unsigned(opt, next());
        else if (opt == "--delta-u")
            o.delta_u = parse_six(opt, next(), "U11,U22,U33,U12,U13,U23");
        else if (opt == "--osf")
            o.osf = parse_real(opt, next());
        else if (opt == "--noise")
            o.noise = parse_real(opt, next());
        else if (opt == "--negative-fraction")
            o.negative_fraction = parse_real(opt, next());
        else if (opt == "--weak-fraction")
            o.weak_fraction = parse_real(opt, next());
        else if (opt == "--extinction")
            o.extinction = parse_real(opt, next());
        else if (opt == "--f000")
            o.f000 = parse_real(opt, next());
        else if (opt == "--layout") {
            const std::string_view v = next();
            if (v == "current")
                o.layout = Layout::current;
            else if (v == "legacy")
                o.layout = Layout::legacy;
            else
                fail("option --layout: expected current or legacy, got '" + std::string(v) + "'");
        } else {
            fail("unknown option '" + std::string(args[i]) + "'");
        }
    }
    if (o.help) return o;

    if (o.out.empty()) fail("option --out DIR/STEM is required");
    if (o.reflections && o.dmin) fail("options --reflections and --dmin exclude each other");
    check_range("--lambda", o.lambda, 0.1, 5.0);
    if (o.dmin) check_range("--dmin", *o.dmin, 0.01, 100.0);
    check_range("--osf", o.osf, 1e-4, 1e4);
    check_range("--noise", o.noise, 0.0, 100.0);
    check_range("--negative-fraction", o.negative_fraction, 0.0, 1.0);
    check_range("--weak-fraction", o.weak_fraction, 0.0, 1.0);
    if (o.negative_fraction + o.weak_fraction > 1.0)
        fail("options --negative-fraction and --weak-fraction add up to more than 1");
    check_range("--extinction", o.extinction, 0.0, 100.0);
    if (o.f000) check_range("--f000", *o.f000, 1.0, 1e9);
    if (o.delta_u) {
        for (double u : *o.delta_u) check_range("--delta-u", u, -1.0, 1.0);
        if (o.fit) fail("options --delta-u and --fit exclude each other");
        if (o.print_model) fail("option --print-model: --delta-u has no model coefficients");
    }
    return o;
}

}  // namespace velor::gen
