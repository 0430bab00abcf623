// Free-format (list-directed) reading of reals.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velor::textio {

struct FreeFormatOptions {
    // A slash, or a null value (two commas with only blanks between), before
    // every item has a value leaves items undefined; with this set that is
    // the bad-number error for the first item left without a value.
    bool require_every_value = false;
};

// Supplies the next record when one is used up; false at the end of the
// channel.  An in-memory text passes none: its end is the end of the channel.
using NextRecord = std::function<bool(std::string_view&)>;

// Reads the items from `text` (and further records from `next`).  Values
// are separated by blanks, tabs, a comma or semicolon (with optional blanks
// around it) or the line end; "r*v" stands for r copies of v; a slash ends
// the read; a null value leaves its item unchanged.  Only as many values as
// there are items are taken.  Throws RecordError("End of file") when the
// channel ends first, and RecordError("Bad real number in item %d of list
// input") for a value that is not a real.  `location` names the source in
// such an error.
void read_free_format(std::string_view text, std::span<float* const> items, const std::string& location,
                      const NextRecord& next = {}, FreeFormatOptions options = {});

}  // namespace velor::textio
