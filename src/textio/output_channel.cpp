#include "textio/output_channel.hpp"

namespace velor::textio {

void OutputChannel::write(const Layout& layout, std::initializer_list<Value> values) {
    write(layout, std::span<const Value>(values.begin(), values.size()));
}

void OutputChannel::write(const Layout& layout, std::span<const Value> values) {
    format_records(pending_, layout, values);
    drain(pending_);
}

void OutputChannel::write_free(std::initializer_list<std::string_view> texts) {
    format_free_record(pending_, std::span<const std::string_view>(texts.begin(), texts.size()));
    drain(pending_);
}

void ConsoleChannel::drain(std::string& pending) {
    out_.write(pending.data(), static_cast<std::streamsize>(pending.size()));
    pending.clear();
    if (flush_ == Flush::each_record) out_.flush();
}

}  // namespace velor::textio
