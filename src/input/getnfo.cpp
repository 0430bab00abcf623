// The crystal data and then the run parameters: one step of the run, since
// the default fit type and the extinction limit depend on the wavelength.
#include "input/crystal_data.hpp"
#include "input/run_parameters.hpp"

namespace velor::input {

RunInformation getnfo(const FileNames& names, const core::FitRequest& request, textio::OutputChannel& console,
                      textio::InputChannel& keyboard) {
    const core::CrystalData crystal = read_crystal_data(names.res, names.fcf, console);
    return {crystal, settle_fit_options(crystal.lambda, request, console, keyboard)};
}

}  // namespace velor::input
