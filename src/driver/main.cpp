// velor: empirical scale-factor correction of single-crystal reflection
// data after a refinement.  Usage: velor [NAME [C|Q|L|F]]
#include <iostream>
#include <string_view>
#include <vector>

#include "driver/run.hpp"
#include "platform/interrupts.hpp"

namespace {

constexpr std::string_view kVersion = "velor 1.0.0\n";

constexpr std::string_view kUsage =
    "Usage: velor [NAME [C|Q|L|F]]\n"
    "\n"
    "Fits an empirical scale model S(h,k,l) -- a six-component tensor in the\n"
    "direction of each reflection, times a polynomial in sin^2(theta) -- to\n"
    "Fo^2 against Fc^2 of a finished refinement, and divides every observed\n"
    "intensity by its S.\n"
    "\n"
    "Arguments:\n"
    "  NAME   file-name stem (asked for when absent)\n"
    "  C|Q|L|F  fit type: cubic (24 parameters), quadratic (18), linear (12)\n"
    "         or flat (6), in either case. Without it the program asks whether\n"
    "         to set the fit parameters, and otherwise takes linear for a\n"
    "         wavelength up to 1.0 A and cubic above.\n"
    "\n"
    "Files read:     NAME.res (cell, wavelength, FVAR), NAME.fcf (LIST 4)\n"
    "Files written:  NAMEx.hkl (corrected data), NAMEx.ins (instructions),\n"
    "                NAMEx.abs (report, also shown on the console)\n"
    "\n"
    "Exit status: 0 done; 1 the run could not be done, for a reason it names\n"
    "(a missing file, a reflection file that is not LIST 4, an impossible\n"
    "cell, singular normal equations); 2 unreadable input, or a failed read\n"
    "or write.\n"
    "\n"
    "Options: -h, --help  this text;  --version  the program version.\n";

}  // namespace

int main(int argc, char** argv) {
    velor::platform::install_interrupt_handlers();
    std::ios::sync_with_stdio(false);
    std::cin.tie(&std::cout);
    if (argc > 1) {
        const std::string_view first = argv[1];
        if (first == "--help" || first == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (first == "--version") {
            std::cout << kVersion;
            return 0;
        }
    }
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return velor::driver::run(arguments, std::cin, std::cout, std::cerr);
}
