// The reflection list of NAME.fcf, read one record at a time.  Nothing of
// the list is kept: both passes over the file stream it.
#pragma once

#include <string_view>

#include "core/reflection.hpp"
#include "textio/input_channel.hpp"
#include "textio/layout.hpp"

namespace velor::input {

// True when an 80-column line, met while passing over the header, would be
// taken by ReflectionReader::first as the first reflection record: a line
// not all blank that reads under one of the two record layouts.
bool is_reflection_record(std::string_view line80);

// Reads the records of one pass.  Two record layouts are known: the
// legacy one, 3I4, 2F12.2, F10.2 (points in columns 22, 34, 44), and the
// one of current refinement programs, 3I4, 2F14.2, F13.2 (points in 24, 38,
// 51).  The first-record search decides which one the file uses.
class ReflectionReader {
public:
    explicit ReflectionReader(textio::InputFile& file) : file_(file) {}

    // Passes over the header to the first line that reads as a reflection
    // record and returns it.  End of file first is fatal.
    core::Reflection first();
    // The record after the last one returned; read without recovery, so a
    // line that does not read, or the end of the file, is fatal.
    core::Reflection next();

    const textio::Layout& layout() const { return *layout_; }

private:
    void choose(const textio::Layout& layout);

    textio::InputFile& file_;
    const textio::Layout* layout_ = nullptr;
    bool current_layout_ = false;
};

}  // namespace velor::input
