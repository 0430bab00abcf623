#include "textio/output_set.hpp"

#include <algorithm>
#include <optional>

#include "platform/file_lock.hpp"
#include "platform/files.hpp"
#include "platform/interrupts.hpp"
#include "textio/errors.hpp"

namespace velor::textio {

OutputFile& OutputSet::create(std::string name) {
    files_.push_back(std::make_unique<OutputFile>(std::move(name)));
    return *files_.back();
}

void OutputSet::put_in_place() {
    std::optional<platform::FileLock> lock;
    if (!lock_file_.empty()) lock.emplace(lock_file_);
    for (const auto& file : files_)
        if (const platform::Failure failure = platform::check_replaceable(file->name()))
            throw RecordError("writing file '" + file->name() + "'",
                              "Cannot replace file '" + file->name() + "': " + failure.text);
    {
        const platform::DeferInterrupts defer;
        for (const auto& file : files_) file->put_in_place();
    }
    // The renames on the disk too, a folder at a time.
    std::vector<std::string> folders;
    for (const auto& file : files_) {
        const std::string& name = file->name();
        std::string folder = name.substr(0, platform::folder_length(name));
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
        folders.push_back(std::move(folder));
        if (const platform::Failure failure = platform::flush_folder(name))
            throw RecordError("writing file '" + name + "'",
                              "Cannot flush the folder of file '" + name + "': " + failure.text);
    }
}

}  // namespace velor::textio
