#include "input/file_names.hpp"

#include <array>

#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::input {
namespace {

using textio::make_field;

std::string_view argument(std::span<const std::string_view> arguments, std::size_t index) {
    return index < arguments.size() ? arguments[index] : std::string_view();
}

// The letter of a second argument that is exactly one fit-type letter, in
// either case, with nothing before it; N otherwise.
char fit_type_letter(const std::string& field) {
    constexpr std::array<std::pair<char, char>, 8> kLetters{
        {{'c', 'C'}, {'C', 'C'}, {'q', 'Q'}, {'Q', 'Q'}, {'l', 'L'}, {'L', 'L'}, {'f', 'F'}, {'F', 'F'}}};
    for (const auto& [typed, letter] : kLetters)
        if (field == make_field(std::string_view(&typed, 1))) return letter;
    return 'N';
}

// The stem is everything before the first blank, however long.
std::string_view stem_of(std::string_view text) { return text.substr(0, text.find(' ')); }

}  // namespace

NamedRun getnam(std::span<const std::string_view> arguments, textio::OutputChannel& console,
                textio::InputChannel& keyboard) {
    NamedRun run;
    std::string stem_text(argument(arguments, 0));
    run.fit_letter = fit_type_letter(make_field(argument(arguments, 1)));

    if (textio::is_blank(stem_text)) {
        console.write(textio::layouts::kPrompt, {"  Input filename without extension: "});
        stem_text = keyboard.require_line();  // the whole line: a path may be longer than 80 columns
    }

    FileNames& names = run.names;
    names.given = textio::trim_right(stem_text);
    names.stem = stem_of(stem_text);
    names.res = names.stem + ".res";
    names.fcf = names.stem + ".fcf";
    names.hkl = names.stem + "x.hkl";
    names.abs = names.stem + "x.abs";
    names.ins = names.stem + "x.ins";
    return run;
}

}  // namespace velor::input
