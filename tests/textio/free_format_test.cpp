// Free-format (list-directed) reading of reals, as the cell line is read.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "textio/errors.hpp"
#include "textio/free_format.hpp"

namespace velor::textio {
namespace {

// The values read from `text` (records split at LF, the first read in
// memory and the rest through `next`), "-" for an item left untouched, then
// "/n" when n records were used; or the error.
std::string outcome(const std::string& text, std::size_t count, bool strict) {
    std::vector<std::string> records(1);
    for (const char ch : text) ch == '\n' ? records.emplace_back() : records.back() += ch;
    std::vector<float> values(count, -1.0f);
    std::vector<float*> items;
    for (float& v : values) items.push_back(&v);
    std::size_t used = 1;
    const NextRecord next = [&](std::string_view& record) {
        if (used == records.size()) return false;
        record = records[used++];
        return true;
    };
    try {
        read_free_format(records[0], items, "test input", next, FreeFormatOptions{.require_every_value = strict});
    } catch (const RecordError& e) {
        return e.what();
    }
    std::string s;
    for (const float v : values) {
        char buffer[32];
        s += v == -1.0f ? "-" : std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
        s += " ";
    }
    return s + "/" + std::to_string(used);
}

TEST(FreeFormat, ValuesSeparatorsAndFailures) {
    const struct {
        const char* text;
        std::size_t items;
        const char* expected;
        bool strict = false;
    } cases[] = {
        {"  0.71073  10.123 11.2 12.3 90 95.5 90\n9", 7, "0.71073 10.123 11.2 12.3 90 95.5 90 /1"},
        {"0.71073 10 11 12 90\n91 92 93\n99", 7, "0.71073 10 11 12 90 91 92 /2"},  // on to the next record
        {"1\n\n   \n2", 2, "1 2 /4"},                                             // blank records passed over
        {"1;2 , 3\t4 ;5,6", 6, "1 2 3 4 5 6 /1"},
        {"10 1.5D3 1.5-3 -2e1 .5 +3. nan", 6, "10 1500 0.0015 -20 0.5 3 /1"},     // no implied decimals
        {"3*1.0 2", 4, "1 1 1 2 /1"},
        {"2*7\n8", 3, "7 7 8 /2"},
        {"5*2.5", 2, "2.5 2.5 /1"},
        {"2* 5", 3, "- - 5 /1"},  // null values: the items keep what they had
        {"1,,3", 3, "1 - 3 /1"},
        {",2,3", 3, "- 2 3 /1"},
        {"1,\n,3", 3, "1 - 3 /2"},
        {"1\n,2", 2, "1 2 /2"},  // a comma after a line end is a separator
        {"1 2 /\n9", 4, "1 2 - - /1"},
        {"1 2 3 4 5", 7, "End of file"},
        {"1 2 x 4", 4, "Bad real number in item 3 of list input"},
        {"1\n2 1.2.3", 3, "Bad real number in item 3 of list input"},
        {"1 x*2", 3, "Bad real number in item 2 of list input"},
        // With every value required, no null value or slash.
        {"1 2 3", 3, "1 2 3 /1", true},
        {"1 2 /", 4, "Bad real number in item 3 of list input", true},
        {"1,,3", 3, "Bad real number in item 2 of list input", true},
        {"2*\n1", 3, "Bad real number in item 1 of list input", true},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(c.text, c.items, c.strict), c.expected) << c.text;
}

}  // namespace
}  // namespace velor::textio
