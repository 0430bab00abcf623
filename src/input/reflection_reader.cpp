#include "input/reflection_reader.hpp"

#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::input {
namespace {

using textio::layouts::kReflectionCurrent;
using textio::layouts::kReflectionLegacy;

// Columns 24, 38 and 51 (1-based) hold the decimal points of Fc², Fo² and
// σ(Fo²) in the current layout; in the legacy layout they are in 22, 34, 44.
bool has_current_points(std::string_view line) {
    return line.size() >= 51 && line[23] == '.' && line[37] == '.' && line[50] == '.';
}

bool read_as(std::string_view line, const textio::Layout& layout, Reflection& r) {
    return textio::read_in_memory(line, layout, {r.h, r.k, r.l, r.fc2, r.fo2, r.sigma});
}

// The layout under which a header line reads as a reflection record (the
// values in `r`), or nullptr when it does not.  Blank lines never do.
const textio::Layout* record_layout(std::string_view line, Reflection& r) {
    if (textio::is_blank(line)) return nullptr;
    if (has_current_points(line) && read_as(line, kReflectionCurrent, r)) return &kReflectionCurrent;
    r = Reflection{};
    if (read_as(line, kReflectionLegacy, r)) return &kReflectionLegacy;
    return nullptr;
}

}  // namespace

bool is_reflection_record(std::string_view line80) {
    Reflection r;
    return record_layout(line80.substr(0, textio::kFieldWidth), r) != nullptr;
}

Reflection ReflectionReader::first() {
    for (;;) {
        // Each line is taken as an 80-column text, as the header lines are.
        const std::string_view line = file_.require_line().substr(0, textio::kFieldWidth);
        Reflection r;
        if (const textio::Layout* layout = record_layout(line, r)) {
            layout_ = layout;
            return r;
        }
    }
}

Reflection ReflectionReader::next() {
    Reflection r;
    file_.read(*layout_, {r.h, r.k, r.l, r.fc2, r.fo2, r.sigma});
    return r;
}

}  // namespace velor::input
