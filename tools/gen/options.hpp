// Command line of velor-gen.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velor::gen {

enum class CrystalSystem { triclinic, monoclinic, orthorhombic, tetragonal, hexagonal, cubic };

// The four scale models of velor; the letter is the one its
// command line takes.
enum class FitType { cubic, quadratic, linear, flat };

// Reflection-record layout of the .fcf: SHELXL 2013 and later, or SHELXL-97.
enum class Layout { current, legacy };

struct Options {
    std::string out;  // DIR/STEM; the files are DIR/STEM.res and DIR/STEM.fcf
    std::optional<CrystalSystem> system;
    std::optional<std::array<double, 6>> cell;  // a, b, c (Angstrom), alpha, beta, gamma (deg)
    double lambda = 0.71073;
    std::optional<std::int64_t> reflections;  // exactly this many records
    std::optional<double> dmin;               // all unique reflections with d >= dmin
    std::optional<FitType> fit;               // default: linear for lambda <= 1, else cubic
    std::uint64_t seed = 1;
    std::optional<std::uint64_t> model_seed;  // default: the data seed
    std::optional<std::uint64_t> noise_seed;  // default: the data seed
    // A true scale exp(-4 pi^2 h'DU h) instead of the scale model: U11, U22,
    // U33, U12, U13, U23 in A^2, Cartesian (x along a*, y in the a*b* plane).
    std::optional<std::array<double, 6>> delta_u;
    double osf = 0.25;
    double noise = 0.0;
    double negative_fraction = 0.0;
    double weak_fraction = 0.0;
    double extinction = 0.0;
    Layout layout = Layout::current;
    bool crlf = false;
    bool legacy_res = false;
    std::optional<double> f000;
    bool axial_only = false;
    bool empty = false;
    bool print_model = false;
    bool help = false;
};

// Throws GenError with a message naming the offending option.
Options parse_options(std::span<const std::string_view> args);

std::string_view usage_text();
std::string_view system_name(CrystalSystem);
char fit_letter(FitType);

}  // namespace velor::gen
