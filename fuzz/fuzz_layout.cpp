// parse_layout on arbitrary text: a LayoutError is the only way it may
// refuse.  A layout it accepts must be well formed, and writing and reading
// a record with it must be safe.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "textio/layout.hpp"
#include "textio/record_format.hpp"

using namespace velor::textio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Layout layout;
    try {
        layout = parse_layout(text);
    } catch (const LayoutError&) {
        return 0;
    }

    FUZZ_CHECK(layout.count >= 0 && layout.count <= Layout::kCapacity);
    FUZZ_CHECK(layout.text == text);
    for (const EditDescriptor& d : layout) {
        FUZZ_CHECK(d.width >= 0 && d.decimals >= 0);
        if (d.kind == Edit::I || d.kind == Edit::F || d.kind == Edit::X) FUZZ_CHECK(d.width > 0);
        if (d.kind != Edit::F) FUZZ_CHECK(d.decimals == 0);
    }

    // Three values of each kind, written and read back with the layout.
    const std::vector<Value> values = {std::int64_t{-42}, 3.25, "text", std::int64_t{7}, -0.5, "", 1, 2.0f, "abc"};
    std::string out;
    (void)format_records(out, layout, values);

    std::int32_t i1 = 0, i2 = 0;
    float f1 = 0, f2 = 0;
    std::string a1(5, ' '), a2(80, ' ');
    const std::vector<Item> items = {i1, f1, a1, i2, f2, a2};
    std::size_t next = 0;
    (void)parse_record(out, layout, items, next, true);
    FUZZ_CHECK(next <= items.size());
    next = 0;
    (void)parse_record(out, layout, items, next, false);
    FUZZ_CHECK(next <= items.size());
    FUZZ_CHECK(a1.size() == 5 && a2.size() == 80);
    return 0;
}
