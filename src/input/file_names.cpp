#include "input/file_names.hpp"

#include <array>

#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::input {
namespace {

using textio::make_field;

std::string argument_field(std::span<const std::string_view> arguments, std::size_t index) {
    return make_field(index < arguments.size() ? arguments[index] : std::string_view());
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

// The stem is everything before the first blank; a field without any
// blank (80 characters of name) gives an empty stem.
std::string_view stem_of(const std::string& field) {
    const std::size_t blank = field.find(' ');
    return blank == std::string::npos ? std::string_view() : std::string_view(field).substr(0, blank);
}

}  // namespace

void getnam(std::span<const std::string_view> arguments, textio::OutputChannel& console,
            textio::InputChannel& keyboard, FileNames& names, std::string& fit_type) {
    std::string stem_field = argument_field(arguments, 0);
    const std::string type_field = argument_field(arguments, 1);

    fit_type = make_field(std::string(1, fit_type_letter(type_field)));

    if (textio::is_blank(stem_field)) {
        console.write(textio::layouts::kPrompt, {"  Input filename without extension: "});
        keyboard.read(textio::layouts::kLine, {stem_field});
    }

    const std::string stem(stem_of(stem_field));
    names.res = make_field(stem + ".res");
    names.fcf = make_field(stem + ".fcf");
    names.hkl = make_field(stem + "x.hkl");
    names.abs = make_field(stem + "x.abs");
    names.ins = make_field(stem + "x.ins");
}

}  // namespace velor::input
