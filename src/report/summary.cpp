#include "report/summary.hpp"

#include "textio/numeric_fields.hpp"

namespace velor::report {
namespace {

// "linear" of "linear (12 parameters)    ".
std::string_view fit_name(std::string_view description) { return description.substr(0, description.find(' ')); }

}  // namespace

std::string Summary::process_details() const {
    std::string text = "VELOR " + version + ": empirical correction by a scale model fitted to Fo2 against Fc2 (";
    text += fit_name(parameters.fit_description);
    text += " fit, " + std::to_string(parameters.parameter_count) + " parameters, " + std::to_string(accepted) +
            " of " + std::to_string(read) + " reflections used); R before " + textio::format_decimals(r_before, 3) + ", after " +
            textio::format_decimals(r_after, 3);
    // R after of each reflection corrected by the fit made without it.
    const std::optional<model::CrossValidated>& cv = trust.of_run().cross_validated;
    text += cv ? ", cross-validated " + textio::format_decimals(cv->r_after, 3) + " (" + std::to_string(trust.folds) +
                     " folds)"
               : ", not cross-validated (the fit is singular without one of its " + std::to_string(trust.folds) +
                     " folds)";
    return text;
}

}  // namespace velor::report
