#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/gtest_extra.hpp"
#include "textio/errors.hpp"
#include "textio/free_format.hpp"

namespace velor::textio {
namespace {

constexpr float U = -1.0f;  // an item the read leaves untouched

struct Case {
    const char* name;
    std::vector<std::string> records;  // the first is the text, the rest come from `next`
    std::size_t items;
    std::vector<float> expected;  // empty when the read fails
    std::size_t records_used = 1;
    std::string error = {};
    bool strict = false;
};

void run(const Case& c) {
    SCOPED_TRACE(c.name);
    std::vector<float> values(c.items, U);
    std::vector<float*> items;
    for (float& v : values) items.push_back(&v);
    std::size_t used = 1;
    const NextRecord next = [&](std::string_view& record) {
        if (used == c.records.size()) return false;
        record = c.records[used++];
        return true;
    };
    const auto read = [&] {
        read_free_format(c.records[0], items, "test input", next, FreeFormatOptions{.require_every_value = c.strict});
    };
    if (!c.error.empty()) {
        EXPECT_THROW_MSG(read(), RecordError, c.error);
        return;
    }
    read();
    EXPECT_EQ(values, c.expected);
    EXPECT_EQ(used, c.records_used);
}

TEST(FreeFormat, ValuesSeparatorsAndFailures) {
    const Case cases[] = {
        {"seven reals from one line", {"  0.71073  10.123 11.2 12.3 90 95.5 90", "9"}, 7,
         {0.71073f, 10.123f, 11.2f, 12.3f, 90, 95.5f, 90}},
        {"five, then the next record", {"0.71073 10 11 12 90", "91 92 93", "99"}, 7,
         {0.71073f, 10, 11, 12, 90, 91, 92}, 2},
        {"blank lines are passed over", {"1", "", "   ", "2"}, 2, {1, 2}, 4},
        {"tabs, commas and semicolons", {"1;2 , 3\t4 ;5,6"}, 6, {1, 2, 3, 4, 5, 6}},
        {"every real form, no implied decimals", {"10 1.5D3 1.5-3 -2e1 .5 +3. nan"}, 6,
         {10, 1500, 0.0015f, -20, 0.5f, 3}},
        {"repeat count", {"3*1.0 2"}, 4, {1, 1, 1, 2}},
        {"repeat count across records", {"2*7", "8"}, 3, {7, 7, 8}, 2},
        {"repeat count cut to the items", {"5*2.5"}, 2, {2.5f, 2.5f}},
        {"repeated null values", {"2* 5"}, 3, {U, U, 5}},
        {"null value", {"1,,3"}, 3, {1, U, 3}},
        {"leading comma", {",2,3"}, 3, {U, 2, 3}},
        {"null value across a line end", {"1,", ",3"}, 3, {1, U, 3}, 2},
        {"comma after a line end is a separator", {"1", ",2"}, 2, {1, 2}, 2},
        {"slash", {"1 2 /", "9"}, 4, {1, 2, U, U}},
        {"strict, all values given", {"1 2 3"}, 3, {1, 2, 3}, 1, "", true},
        {"end of channel", {"1 2 3 4 5"}, 7, {}, 1, "End of file"},
        {"bad number", {"1 2 x 4"}, 4, {}, 1, "Bad real number in item 3 of list input"},
        {"bad number on a later record", {"1", "2 1.2.3"}, 3, {}, 1, "Bad real number in item 3 of list input"},
        {"bad repeat count", {"1 x*2"}, 3, {}, 1, "Bad real number in item 2 of list input"},
        {"strict slash", {"1 2 /"}, 4, {}, 1, "Bad real number in item 3 of list input", true},
        {"strict repeated null", {"2*", "1"}, 3, {}, 1, "Bad real number in item 1 of list input", true},
    };
    for (const Case& c : cases) run(c);
}

}  // namespace
}  // namespace velor::textio
