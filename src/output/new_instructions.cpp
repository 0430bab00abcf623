#include "output/new_instructions.hpp"

#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/output_file.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

bool starts_with(std::string_view line, std::string_view keyword) { return line.substr(0, keyword.size()) == keyword; }

// "REM " and the line's own first 76 columns.
std::string as_remark(const std::string& line) { return "REM " + line.substr(0, textio::kFieldWidth - 4); }

}  // namespace

std::string edit_instruction_line(std::string_view line80) {
    std::string line = textio::make_field(line80);
    if (starts_with(line, "MERG 0")) line = as_remark(line);
    if (starts_with(line, "EXTI")) line = as_remark(line);
    if (starts_with(line, "HKLF")) line = textio::make_field("HKLF 4");
    return line;
}

bool is_end_line(std::string_view line80) { return starts_with(line80, "END "); }

void newins(const std::string& res_name, const std::string& ins_name, textio::OutputChannel& console) {
    const auto res = textio::open_or_stop(res_name, console);
    textio::OutputFile ins{std::string(textio::trim_right(ins_name))};
    for (;;) {
        const std::string line = edit_instruction_line(res->require_line());
        ins.write(textio::layouts::kLine, {line});
        if (is_end_line(line)) break;
    }
    ins.close();
}

}  // namespace velor::output
