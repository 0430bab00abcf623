#include "input/reflection_reader.hpp"

#include "textio/layouts.hpp"
#include "textio/numeric_fields.hpp"
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

bool read_as(std::string_view line, const textio::Layout& layout, core::Reflection& r) {
    return textio::read_in_memory(line, layout, {r.h, r.k, r.l, r.fc2, r.fo2, r.sigma});
}

// The layout under which a header line reads as a reflection record (the
// values in `r`), or nullptr when it does not.  Blank lines never do.
const textio::Layout* record_layout(std::string_view line, core::Reflection& r) {
    if (textio::is_blank(line)) return nullptr;
    if (has_current_points(line) && read_as(line, kReflectionCurrent, r)) return &kReflectionCurrent;
    r = core::Reflection{};
    if (read_as(line, kReflectionLegacy, r)) return &kReflectionLegacy;
    return nullptr;
}

}  // namespace

bool is_reflection_record(std::string_view line80) {
    core::Reflection r;
    return record_layout(line80.substr(0, textio::kFieldWidth), r) != nullptr;
}

core::Reflection ReflectionReader::first() {
    for (;;) {
        // Each line is taken as an 80-column text, as the header lines are.
        const std::string_view line = file_.require_line().substr(0, textio::kFieldWidth);
        core::Reflection r;
        if (const textio::Layout* layout = record_layout(line, r)) {
            choose(*layout);
            return r;
        }
    }
}

void ReflectionReader::choose(const textio::Layout& layout) {
    layout_ = &layout;
    current_layout_ = &layout == &kReflectionCurrent;
}

namespace {

constexpr bool has_fields(const textio::Layout& layout, int fc, int fo, int sigma) {
    using textio::Edit;
    return layout.count == 6 && layout.has_field(0, {Edit::I, 4, 0}) && layout.has_field(1, {Edit::I, 4, 0}) &&
           layout.has_field(2, {Edit::I, 4, 0}) && layout.has_field(3, {Edit::F, fc, 2}) &&
           layout.has_field(4, {Edit::F, fo, 2}) && layout.has_field(5, {Edit::F, sigma, 2});
}
static_assert(has_fields(kReflectionCurrent, 14, 14, 13) && has_fields(kReflectionLegacy, 12, 12, 10),
              "read_quickly reads the columns of these layouts");

// The usual record, right-justified numbers with their points where the
// layout puts them, read field by field with the columns known when
// compiled; anything else (commas, blanks inside a number, exponents, a
// short line) is left to the general reading, which gives these fields the
// same values.
template <std::size_t FcWidth, std::size_t FoWidth, std::size_t SigmaWidth>
bool read_quickly(std::string_view line, core::Reflection& r) {
    constexpr std::size_t kFc = 12, kFo = kFc + FcWidth, kSigma = kFo + FoWidth;
    if (line.size() < kSigma + SigmaWidth) return false;
    const char* p = line.data();
    return textio::read_i_quickly({p, 4}, r.h) && textio::read_i_quickly({p + 4, 4}, r.k) &&
           textio::read_i_quickly({p + 8, 4}, r.l) && textio::read_f_quickly({p + kFc, FcWidth}, 2, r.fc2) &&
           textio::read_f_quickly({p + kFo, FoWidth}, 2, r.fo2) &&
           textio::read_f_quickly({p + kSigma, SigmaWidth}, 2, r.sigma);
}

// The usual record read in place in the file's buffer: its fields first,
// which hold no line end when they read, then the end of the line searched
// for after them only.  False leaves the line to the general reading.
template <std::size_t FcWidth, std::size_t FoWidth, std::size_t SigmaWidth>
bool read_in_buffer(textio::InputFile& file, core::Reflection& r) {
    constexpr std::size_t kEnd = 12 + FcWidth + FoWidth + SigmaWidth;
    const std::string_view text = file.buffered_lines();
    if (text.size() <= kEnd || !read_quickly<FcWidth, FoWidth, SigmaWidth>(text, r)) return false;
    for (std::size_t i = kEnd; i < text.size(); ++i)
        if (text[i] == '\n') {
            file.take_line(i);
            return true;
        }
    return false;
}

}  // namespace

core::Reflection ReflectionReader::next() {
    core::Reflection r;
    if (current_layout_ ? read_in_buffer<14, 14, 13>(file_, r) : read_in_buffer<12, 12, 10>(file_, r)) return r;
    r = core::Reflection{};
    std::string_view line;
    if (!file_.next_buffered_line(line)) file_.fail("End of file");
    const bool quick = current_layout_ ? read_quickly<14, 14, 13>(line, r) : read_quickly<12, 12, 10>(line, r);
    if (!quick) {
        r = core::Reflection{};
        file_.read_taken(line, *layout_, {r.h, r.k, r.l, r.fc2, r.fo2, r.sigma});
    }
    return r;
}

}  // namespace velor::input
