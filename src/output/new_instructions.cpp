#include "output/new_instructions.hpp"

#include <charconv>

#include "textio/errors.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

using textio::has_keyword;

// "REM " and the line's own first 76 columns.
std::string as_remark(const std::string& line) { return "REM " + line.substr(0, textio::kFieldWidth - 4); }

// Blanks and tabs alike separate the words of an instruction line.
constexpr std::string_view kWordBreaks = " \t";
bool is_word_break(char c) { return kWordBreaks.find(c) != std::string_view::npos; }

// Whether the line's first word is the instruction `name`, in any letter case.
bool is_instruction(std::string_view line, std::string_view name) {
    return has_keyword(line, name) && (line.size() == name.size() || is_word_break(line[name.size()]));
}

// The line after the instruction's name, from its next word on.
std::string_view after_name(std::string_view line, std::string_view name) {
    const std::size_t at = line.find_first_not_of(kWordBreaks, name.size());
    return at == std::string_view::npos ? std::string_view() : line.substr(at);
}

// MERG 0: merging of equivalents switched off.
bool is_merg_0(std::string_view line) {
    return is_instruction(line, "MERG") && after_name(line, "MERG").starts_with('0');
}

// The first number after HKLF: 5 marks intensities of a twin, each record
// the sum over the twin domains.
bool is_twin_hklf(std::string_view line80) {
    if (!has_keyword(line80, "HKLF")) return false;
    const std::string_view rest = after_name(line80, "HKLF");
    int code = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), code);
    return error == std::errc{} && (end == rest.data() + rest.size() || is_word_break(*end)) && code == 5;
}

}  // namespace

std::string edit_instruction_line(std::string_view line80) {
    std::string line = textio::make_field(line80);
    if (is_merg_0(line)) line = as_remark(line);
    if (has_keyword(line, "EXTI")) line = as_remark(line);
    if (has_keyword(line, "HKLF")) line = textio::make_field("HKLF 4");
    return line;
}

bool is_end_line(std::string_view line80) { return is_instruction(line80, "END"); }

bool refines_twin(std::string_view line80) {
    return has_keyword(line80, "TWIN") || has_keyword(line80, "BASF") || is_twin_hklf(line80);
}

InstructionNotes newins(const std::string& res_name, textio::OutputFile& ins, textio::OutputChannel& console) {
    const auto res = textio::open_or_stop(res_name, console);
    InstructionNotes notes;
    for (;;) {
        std::string_view read;
        if (!res->next_line(read))
            throw textio::RecordError(res->location() + ", looking for END", "End of file");
        const std::string original = textio::make_field(read);
        notes.twinned = notes.twinned || refines_twin(original);
        const std::string line = edit_instruction_line(original);
        ins.write(textio::layouts::kLine, {line});
        if (is_end_line(line)) break;
    }
    ins.close();
    return notes;
}

}  // namespace velor::output
