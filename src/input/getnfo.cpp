// The crystal data and then the run parameters: one step of the run, since
// the default fit type and the extinction limit depend on the wavelength.
#include "input/crystal_data.hpp"
#include "input/run_parameters.hpp"

namespace velor::input {

void getnfo(const std::string& res_name, const std::string& fcf_name, const core::FitRequest& request,
            core::CrystalData& crystal, core::RunParameters& parameters, textio::OutputChannel& console,
            textio::InputChannel& keyboard) {
    crystal = read_crystal_data(res_name, fcf_name, console);
    parameters = settle_fit_options(crystal.lambda, request, console, keyboard);
}

}  // namespace velor::input
