#include "report/summary.hpp"

#include "textio/numeric_fields.hpp"

namespace velor::report {
namespace {

// A number as the report prints it, without the blanks in front.
std::string printed(double value, int decimals) {
    const std::string field = textio::format_f(value, 16, decimals);
    return field.substr(field.find_first_not_of(' '));
}

// "linear" of "linear (12 parameters)    ".
std::string_view fit_name(std::string_view description) { return description.substr(0, description.find(' ')); }

}  // namespace

std::string Summary::process_details() const {
    std::string text = "VELOR " + version + ": empirical correction by a scale model fitted to Fo2 against Fc2 (";
    text += fit_name(parameters.fit_description);
    text += " fit, " + std::to_string(parameters.parameter_count) + " parameters, " + std::to_string(accepted) +
            " of " + std::to_string(read) + " reflections used); R before " + printed(r_before, 3) + ", after " +
            printed(r_after, 3);
    return text;
}

}  // namespace velor::report
