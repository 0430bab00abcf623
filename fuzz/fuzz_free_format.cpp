// Free-format reading of 1 to 8 reals from arbitrary text, as one
// in-memory text and as records of a channel, with and without the
// every-value option.  A RecordError is the only way a read may fail; a
// read that needs every value and succeeds has given every item one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "textio/errors.hpp"
#include "textio/free_format.hpp"

using namespace velor::textio;

namespace {

// A NaN with a payload no text reads as: an item still holding it has not
// been given a value.
float untouched() {
    const std::uint32_t bits = 0x7fc0beefu;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool is_untouched(float f) {
    const float u = untouched();
    return std::memcmp(&f, &u, sizeof f) == 0;
}

void read(std::string_view first, const std::vector<std::string_view>& more, std::size_t count,
          FreeFormatOptions options, bool channel) {
    std::array<float, 8> values;
    values.fill(untouched());
    std::array<float*, 8> items{};
    for (std::size_t i = 0; i < items.size(); ++i) items[i] = &values[i];

    std::size_t taken = 0;
    const NextRecord next = [&](std::string_view& record) {
        if (taken == more.size()) return false;
        record = more[taken++];
        return true;
    };
    try {
        read_free_format(first, std::span<float* const>(items.data(), count), "fuzz input, line 1",
                         channel ? next : NextRecord{}, options);
    } catch (const RecordError& e) {
        FUZZ_CHECK(e.location() == "fuzz input, line 1");
        return;
    }
    if (options.require_every_value)
        for (std::size_t i = 0; i < count; ++i) FUZZ_CHECK(!is_untouched(values[i]));
    for (std::size_t i = count; i < values.size(); ++i) FUZZ_CHECK(is_untouched(values[i]));
}

}  // namespace

// The first byte chooses the item count; the rest is the text, split into
// records at line ends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t count = 1 + data[0] % 8;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string_view> records = velor::fuzz::split_records(text);
    const std::string_view first = records.empty() ? std::string_view() : records.front();
    const std::vector<std::string_view> more(records.begin() + (records.empty() ? 0 : 1), records.end());

    for (const bool every : {false, true}) {
        const FreeFormatOptions options{.require_every_value = every};
        read(text, {}, count, options, false);  // one in-memory text, line ends and all
        read(first, more, count, options, true);
    }
    return 0;
}
