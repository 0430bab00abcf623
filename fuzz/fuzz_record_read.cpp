// Arbitrary bytes as a text file, read record by record with every layout
// of the program: in memory (read_in_memory, and parse_record with the
// comma rule of file and keyboard records), through an InputFile on a
// temporary file, through the keyboard channel, and through the reflection
// record reader.  A RecordError is the only way a read may fail, and the
// file and keyboard channels must hand out the records of the in-memory
// split.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
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

constexpr std::array<const Layout*, 20> kLayouts = {
    &layouts::kLine,           &layouts::kPrompt,         &layouts::kReflectionLegacy,
    &layouts::kReflectionCurrent, &layouts::kAfterKeyword, &layouts::kF000Value,
    &layouts::kLetterAnswer,   &layouts::kNumberAnswer,   &layouts::kEchoText,
    &layouts::kEchoNumber,     &layouts::kBoxText,        &layouts::kBoxEmpty,
    &layouts::kCorrected,      &layouts::kCorrectedLarge, &layouts::kCoefficients4,
    &layouts::kCoefficients3,  &layouts::kCoefficients2,  &layouts::kCoefficients1,
    &layouts::kRange,          &layouts::kRatio,
};

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// One item for each value-taking field of a layout, of the field's kind;
// text items are `text_length` long.  Made once, reset before each read.
struct Items {
    const Layout& layout;
    std::size_t text_length;
    std::array<std::int32_t, Layout::kCapacity> ints{};
    std::array<float, Layout::kCapacity> reals{};
    std::array<std::string, Layout::kCapacity> texts;
    std::vector<Item> items;

    Items(const Layout& l, std::size_t length) : layout(l), text_length(length) {
        for (std::size_t n = 0; n < std::size_t(layout.count); ++n) {
            const Edit kind = layout.items[n].kind;
            if (kind == Edit::I) items.emplace_back(ints[n]);
            if (kind == Edit::F) items.emplace_back(reals[n]);
            if (kind == Edit::A) items.emplace_back(texts[n]);
        }
    }
    Items(const Items&) = delete;
    Items& operator=(const Items&) = delete;

    void reset() {
        ints.fill(-1);
        reals.fill(-1.0f);
        for (std::size_t n = 0; n < std::size_t(layout.count); ++n)
            if (layout.items[n].kind == Edit::A) texts[n].assign(text_length, '?');
    }
    bool same_values(const Items& other) const {
        return ints == other.ints && texts == other.texts &&
               std::equal(reals.begin(), reals.end(), other.reals.begin(), same_bits);
    }
};

bool same_result(std::optional<float> a, std::optional<float> b) {
    return a.has_value() == b.has_value() && (!a || same_bits(*a, *b) || (std::isnan(*a) && std::isnan(*b)));
}

// Every I and F field of the layout, as it lies in the record, reads the
// same with the quick path first as by the exact path alone.
void check_fields(std::string_view record, const Layout& layout) {
    std::size_t pos = 0;
    for (const EditDescriptor& d : layout) {
        const std::size_t width = static_cast<std::size_t>(d.width);
        const std::string_view field = pos < record.size() ? record.substr(pos, width) : std::string_view();
        if (d.kind == Edit::I) FUZZ_CHECK(read_i(field) == detail::read_i_exactly(field));
        if (d.kind == Edit::F) FUZZ_CHECK(same_result(read_f(field, d.decimals), detail::read_f_exactly(field, d.decimals)));
        pos += width;
    }
}

// Each distinct record, up to 16 of them (each takes 80 reads, and many
// lines add nothing new), read with each layout into items of the field
// kinds, text items shorter and longer than their fields.
void read_records_in_memory(const std::vector<std::string_view>& records) {
    struct Pair {
        Items plain, commas;
    };
    static const auto pairs = [] {
        std::vector<std::unique_ptr<Pair>> made;
        for (const Layout* layout : kLayouts)
            for (const std::size_t text_length : {1, 80})
                made.emplace_back(new Pair{{*layout, text_length}, {*layout, text_length}});
        return made;
    }();

    std::unordered_set<std::string_view> seen;
    for (std::string_view record : records) {
        if (!seen.insert(record).second) continue;
        if (seen.size() > 16) break;
        (void)input::is_reflection_record(record);
        for (const Layout* layout : kLayouts) check_fields(record, *layout);
        for (const auto& pair : pairs) {
            Items& plain = pair->plain;
            Items& commas = pair->commas;
            const Layout& layout = plain.layout;
            plain.reset();
            commas.reset();
            const ReadStatus plain_status = read_in_memory(record, layout, plain.items);
            std::size_t next = 0;
            const ReadStatus comma_status = parse_record(record, layout, commas.items, next, true);
            FUZZ_CHECK(next <= commas.items.size());
            if (comma_status == ReadStatus::Ok) FUZZ_CHECK(next == commas.items.size());
            for (std::size_t n = 0; n < std::size_t(layout.count); ++n)  // texts keep their length
                if (layout.items[n].kind == Edit::A)
                    FUZZ_CHECK(plain.texts[n].size() == plain.text_length && commas.texts[n].size() == plain.text_length);
            // Without a comma in the record the comma rule changes nothing.
            if (record.find(',') == std::string_view::npos) {
                FUZZ_CHECK(plain_status == comma_status);
                FUZZ_CHECK(plain.same_values(commas));
            }
        }
    }
}

// The records of a file must be those of the split, but for a line longer
// than the file's buffer, of which it hands out the head.
void compare_file_records(InputChannel& file, const std::vector<std::string_view>& records) {
    constexpr std::size_t kBuffer = std::size_t{1} << 18;
    std::string_view line;
    for (std::string_view expected : records) {
        FUZZ_CHECK(file.next_line(line));
        if (expected.size() < kBuffer) FUZZ_CHECK(line == expected);
        else FUZZ_CHECK(line.size() + 1 >= kBuffer && expected.starts_with(line));
    }
    FUZZ_CHECK(!file.next_line(line));
    FUZZ_CHECK(!file.next_line(line));  // and it stays at its end
}

// The keyboard hands out the records of the split too.
void compare_keyboard_records(InputChannel& keyboard, const std::vector<std::string_view>& records) {
    std::string_view line;
    for (const std::string_view expected : records) {
        FUZZ_CHECK(keyboard.next_line(line));
        FUZZ_CHECK(line == expected);
    }
    FUZZ_CHECK(!keyboard.next_line(line));
    FUZZ_CHECK(!keyboard.next_line(line));
}

// Reads a channel to its end with the layouts the program reads channels
// with, in turn; some reads take more items than the layout has fields, and
// so go on to the next record.  The end of the channel is a RecordError.
void read_channel(InputChannel& channel) {
    std::int32_t h = 0, k = 0, l = 0, extra = 0;
    float fc = 0, fo = 0, sigma = 0;
    std::string line(80, ' '), letter(1, ' ');
    try {
        for (int round = 0;; ++round) {
            switch (round % 6) {
                case 0: (void)channel.try_read(layouts::kReflectionCurrent, {h, k, l, fc, fo, sigma}); break;
                case 1: (void)channel.try_read(layouts::kReflectionLegacy, {h, k, l, fc, fo, sigma}); break;
                case 2: (void)channel.try_read(layouts::kNumberAnswer, {fc, fo}); break;
                case 3: (void)channel.try_read(layouts::kLetterAnswer, {letter}); break;
                case 4: channel.read(layouts::kLine, {line}); break;
                default: (void)channel.try_read(layouts::kReflectionLegacy, {h, k, l, fc, fo, sigma, extra}); break;
            }
            FUZZ_CHECK(line.size() == 80 && letter.size() == 1);
        }
    } catch (const RecordError&) {
    }
}

// The reflection reader over the whole file: each record it returns must
// hold what the general reading of that line gives (the first one read in
// memory, as the header search reads it; the others as file records).
void check_reflection_reader(const std::string& path, const std::vector<std::string_view>& records) {
    const auto file = InputFile::open(path);
    input::ReflectionReader reader(*file);
    try {
        bool first = true;
        for (input::Reflection r = reader.first();; r = reader.next()) {
            const std::string_view line = records.at(static_cast<std::size_t>(file->line_number() - 1));
            input::Reflection g;
            if (first) {
                FUZZ_CHECK(read_in_memory(line.substr(0, 80), reader.layout(), {g.h, g.k, g.l, g.fc2, g.fo2, g.sigma}));
            } else {
                const std::array<Item, 6> items{g.h, g.k, g.l, g.fc2, g.fo2, g.sigma};
                std::size_t next = 0;
                FUZZ_CHECK(parse_record(line, reader.layout(), items, next, true) == ReadStatus::Ok);
            }
            FUZZ_CHECK(r.h == g.h && r.k == g.k && r.l == g.l);
            FUZZ_CHECK(same_bits(r.fc2, g.fc2) && same_bits(r.fo2, g.fo2) && same_bits(r.sigma, g.sigma));
            if (r.is_terminator()) break;
            first = false;
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
    {
        const auto file = InputFile::open(path);
        FUZZ_CHECK(file != nullptr);
        compare_file_records(*file, records);
    }
    {
        std::istringstream in{std::string(bytes)};
        KeyboardChannel keyboard(in);
        compare_keyboard_records(keyboard, records);
    }
    {
        const auto file = InputFile::open(path);
        read_channel(*file);
        std::istringstream in{std::string(bytes)};
        KeyboardChannel keyboard(in);
        read_channel(keyboard);
    }
    check_reflection_reader(path, records);
    return 0;
}
