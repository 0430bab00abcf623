#include "textio/files.hpp"

#include "platform/failure.hpp"
#include "textio/errors.hpp"
#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::textio {

void missing_file_stop(OutputChannel& console, const std::string& name) {
    // One write, two texts: the layout holds one, so the name starts a new
    // record and that record is left open.
    console.write(layouts::kPrompt, {"THERE IS NO SUCH FILE AS ", name_field(name)});
    throw MissingFileStop();
}

std::unique_ptr<InputFile> open_or_stop(const std::string& name, OutputChannel& console) {
    auto file = InputFile::open(name);
    if (!file) missing_file_stop(console, name);
    return file;
}

std::unique_ptr<InputFile> open_or_fail(const std::string& name) {
    auto file = InputFile::open(name);
    if (!file) throw RecordError("opening file '" + name + "'", "File '" + name + "' does not exist");
    return file;
}

}  // namespace velor::textio
