// Arbitrary bytes as a text file, read record by record with every layout
// of the program: in memory (read_in_memory, and parse_record with the
// comma rule of file and keyboard records), through an InputFile on a
// temporary file, through the keyboard channel, and through the reflection
// record reader.  A RecordError is the only way a read may fail; every field
// reads the same with the quick path first as by the exact path alone; the
// file and keyboard channels hand out the records of the in-memory split;
// and the reflection reader gives what the general reading of its line gives.
// (fuzz_input_side reads the channels with the program's own reads.)
#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fuzz_support.hpp"
#include "input/reflection_reader.hpp"
#include "textio/errors.hpp"
#include "textio/input_channel.hpp"
#include "textio/layouts.hpp"
#include "textio/numeric_fields.hpp"

using namespace velor;
using namespace velor::textio;

namespace {

// The record of NAMEx.hkl with a corrected Fo² too large for F8.2, as its
// writer puts it (without decimals).
constexpr Layout kCorrectedLarge = parse_layout("(3I4, F8.0, F8.2, F10.3)");

constexpr std::array<const Layout*, 20> kLayouts = {
    &layouts::kLine,           &layouts::kPrompt,        &layouts::kReflectionLegacy, &layouts::kReflectionCurrent,
    &layouts::kAfterKeyword,   &layouts::kF000Value,     &layouts::kLetterAnswer,     &layouts::kNumberAnswer,
    &layouts::kEchoText,       &layouts::kEchoNumber,    &layouts::kBoxText,          &layouts::kBoxEmpty,
    &layouts::kCorrected,      &kCorrectedLarge,          &layouts::kCoefficients4,   &layouts::kCoefficients3,
    &layouts::kCoefficients2,  &layouts::kCoefficients1, &layouts::kRange,            &layouts::kRatio,
};

// Reads a record with a layout into items of the field kinds, texts
// `length` long, which they stay: the status and the items, as bytes.
std::string read_items(std::string_view record, const Layout& layout, std::size_t length, bool commas) {
    static std::array<std::string, Layout::kCapacity> texts;  // kept, with their buffers
    static std::vector<Item> items;
    std::array<std::int32_t, Layout::kCapacity> ints;
    std::array<float, Layout::kCapacity> reals;
    items.clear();
    for (std::size_t n = 0; n < std::size_t(layout.count); ++n) {
        const Edit kind = layout.items[n].kind;
        if (kind == Edit::I) items.emplace_back(ints[n] = -1);
        if (kind == Edit::F) items.emplace_back(reals[n] = -1.0f);
        if (kind == Edit::A) items.emplace_back(texts[n].assign(length, '?'));
    }
    std::size_t next = 0;
    const ReadStatus status = commas ? parse_record(record, layout, items, next, true) : read_in_memory(record, layout, items);
    FUZZ_CHECK(next <= items.size() && (!commas || status != ReadStatus::Ok || next == items.size()));
    std::string bytes(1, static_cast<char>(status));
    for (std::size_t n = 0; n < std::size_t(layout.count); ++n) {
        const Edit kind = layout.items[n].kind;
        if (kind == Edit::I) bytes.append(reinterpret_cast<const char*>(&ints[n]), sizeof ints[n]);
        if (kind == Edit::F) bytes.append(reinterpret_cast<const char*>(&reals[n]), sizeof reals[n]);
        if (kind == Edit::A) FUZZ_CHECK(texts[n].size() == length);
        if (kind == Edit::A) bytes += texts[n];
    }
    return bytes;
}

// Each distinct record, up to 16 of them (many lines add nothing new).
void read_records_in_memory(const std::vector<std::string_view>& records) {
    std::unordered_set<std::string_view> seen;
    for (std::string_view record : records) {
        if (!seen.insert(record).second) continue;
        if (seen.size() > 16) break;
        (void)input::is_reflection_record(record);
        for (const Layout* layout : kLayouts) {
            std::size_t pos = 0;  // each I and F field as it lies in the record
            for (const EditDescriptor& d : *layout) {
                const std::string_view field = pos < record.size() ? record.substr(pos, std::size_t(d.width)) : "";
                if (d.kind == Edit::I) FUZZ_CHECK(read_i(field) == detail::read_i_exactly(field));
                if (d.kind == Edit::F) FUZZ_CHECK(fuzz::same_value(read_f(field, d.decimals), detail::read_f_exactly(field, d.decimals)));
                pos += std::size_t(d.width);
            }
            for (const std::size_t length : {1, 80}) {
                const std::string plain = read_items(record, *layout, length, false);
                const std::string commas = read_items(record, *layout, length, true);
                // Without a comma in the record the comma rule changes nothing.
                if (record.find(',') == std::string_view::npos) FUZZ_CHECK(plain == commas);
            }
        }
    }
}

// A channel hands out the records of the split, but for a line longer than
// `limit`, of which it hands out the head; then it stays at its end.
void compare_records(InputChannel& channel, const std::vector<std::string_view>& records, std::size_t limit) {
    std::string_view line;
    for (std::string_view expected : records) {
        FUZZ_CHECK(channel.next_line(line));
        if (expected.size() < limit) FUZZ_CHECK(line == expected);
        else FUZZ_CHECK(line.size() + 1 >= limit && expected.starts_with(line));
    }
    FUZZ_CHECK(!channel.next_line(line));
    FUZZ_CHECK(!channel.next_line(line));
}

// Each record the reflection reader returns holds what the general reading
// of that line gives (the first one read in memory, as the header search
// reads it; the others as file records).
void check_reflection_reader(const std::string& path, const std::vector<std::string_view>& records) {
    const auto file = InputFile::open(path);
    input::ReflectionReader reader(*file);
    try {
        bool first = true;
        for (core::Reflection r = reader.first();; r = reader.next(), first = false) {
            const std::string_view line = records.at(static_cast<std::size_t>(fuzz::line_of(file->location()) - 1));
            core::Reflection g;
            const std::array<Item, 6> items{g.h, g.k, g.l, g.fc2, g.fo2, g.sigma};
            std::size_t next = 0;
            FUZZ_CHECK(parse_record(first ? line.substr(0, 80) : line, reader.layout(), items, next, !first) ==
                       ReadStatus::Ok);
            FUZZ_CHECK(r.h == g.h && r.k == g.k && r.l == g.l);
            FUZZ_CHECK(fuzz::same_bits(r.fc2, g.fc2) && fuzz::same_bits(r.fo2, g.fo2) && fuzz::same_bits(r.sigma, g.sigma));
            if (r.is_terminator()) break;
        }
    } catch (const RecordError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> records = fuzz::split_records(bytes);
    read_records_in_memory(records);

    const std::string path = std::string(fuzz::scratch_folder()) + "/records.txt";
    fuzz::write_file(path, bytes);
    const auto file = InputFile::open(path);
    FUZZ_CHECK(file != nullptr);
    compare_records(*file, records, std::size_t{1} << 18);  // the file's buffer
    std::istringstream typed{std::string(bytes)};
    KeyboardChannel keyboard(typed);
    compare_records(keyboard, records, std::string::npos);

    check_reflection_reader(path, records);
    return 0;
}
