// Small helpers shared by the fuzz targets.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velor::fuzz {

// A broken property: say which and abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// A folder of this process under /tmp, made on first use and removed with
// everything in it when the process exits normally.
inline const char* scratch_folder() {
    static char folder[] = "/tmp/velor-fuzz-XXXXXX";  // no destructor: still there at exit
    static const bool made = [] {
        FUZZ_CHECK(::mkdtemp(folder) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)made;
    return folder;
}

// The line number of a channel's location ("file 'x', line 12").
inline long line_of(const std::string& location) {
    return std::strtol(location.c_str() + location.rfind(", line ") + 7, nullptr, 10);
}

inline void write_file(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

// The records of a text as a file reads them: LF ends a line, a CR just
// before the LF is not part of it, and a last line without LF is a record
// (a CR at its end taken as its line end).
inline std::vector<std::string_view> split_records(std::string_view text) {
    std::vector<std::string_view> records;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        records.push_back(line);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return records;
}

// The same float to the bit, or both NaN; for results, both none too.
inline bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool same_value(std::optional<float> a, std::optional<float> b) {
    return a.has_value() == b.has_value() && (!a || same_bits(*a, *b) || (std::isnan(*a) && std::isnan(*b)));
}

}  // namespace velor::fuzz
