#include "textio/output_set.hpp"

#include <filesystem>

#include "platform/interrupts.hpp"
#include "textio/errors.hpp"

namespace velor::textio {

OutputFile& OutputSet::create(std::string name) {
    files_.push_back(std::make_unique<OutputFile>(std::move(name)));
    return *files_.back();
}

void OutputSet::put_in_place() {
    for (const auto& file : files_) {
        std::error_code error;
        if (std::filesystem::is_directory(file->name(), error))
            throw RecordError("writing file '" + file->name() + "'",
                              "Cannot replace file '" + file->name() + "': Is a directory");
    }
    const platform::DeferInterrupts defer;
    for (const auto& file : files_) file->put_in_place();
}

}  // namespace velor::textio
