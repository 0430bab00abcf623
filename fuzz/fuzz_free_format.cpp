// Free-format reading of 1 to 8 reals from arbitrary text, as one
// in-memory text and as records of a channel, with and without the
// every-value option.  A RecordError is the only way a read may fail; a
// read that needs every value and succeeds has given every item one.
#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"
#include "textio/errors.hpp"
#include "textio/free_format.hpp"

using namespace velor::textio;

namespace {

// A NaN with a payload no text reads as: an item still holding it has not
// been given a value.
const float kUntouched = std::bit_cast<float>(0x7fc0beefu);

void read(std::string_view first, const std::vector<std::string_view>& more, std::size_t count, bool every,
          bool channel) {
    std::array<float, 8> values;
    values.fill(kUntouched);
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
                         channel ? next : NextRecord{}, FreeFormatOptions{.require_every_value = every});
    } catch (const RecordError& e) {
        FUZZ_CHECK(e.location() == "fuzz input, line 1");
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i)
        if (i >= count || every) FUZZ_CHECK(velor::fuzz::same_bits(values[i], kUntouched) == (i >= count));
}

}  // namespace

// The first byte chooses the item count; the rest is the text, split into
// records at line ends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t count = 1 + data[0] % 8;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string_view> records = velor::fuzz::split_records(text);
    if (records.empty()) records.emplace_back();
    const std::vector<std::string_view> more(records.begin() + 1, records.end());
    for (const bool every : {false, true}) {
        read(text, {}, count, every, false);  // one in-memory text, line ends and all
        read(records.front(), more, count, every, true);
    }
    return 0;
}
