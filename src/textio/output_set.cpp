#include "textio/output_set.hpp"

#include "platform/files.hpp"
#include "platform/interrupts.hpp"
#include "textio/errors.hpp"

namespace velor::textio {

OutputFile& OutputSet::create(std::string name) {
    files_.push_back(std::make_unique<OutputFile>(std::move(name)));
    return *files_.back();
}

void OutputSet::put_in_place() {
    for (const auto& file : files_)
        if (const std::string why = platform::why_not_replaceable(file->name()); !why.empty())
            throw RecordError("writing file '" + file->name() + "'",
                              "Cannot replace file '" + file->name() + "': " + why);
    const platform::DeferInterrupts defer;
    for (const auto& file : files_) file->put_in_place();
}

}  // namespace velor::textio
