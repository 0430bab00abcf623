// Runs the velor program as a real process in a scratch folder, with a
// given standard input, and collects its exit status and output.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velor::testing {

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag);
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the files in the folder, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path path_;
};

// Runs the program with `arguments` in `folder`, `input` on standard input
// (standard input is empty when `input` is empty).
ProcessResult run_velor(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                        const std::string& input = "");

// Runs any program the same way.
ProcessResult run_program(const std::filesystem::path& folder, const std::string& program,
                          const std::vector<std::string>& arguments, const std::string& input = "");

// The path of a program built alongside the tests (velor, velor-gen); empty
// when it is not built.
std::string program_path(const std::string& name);

// The folder of the committed test data.
inline std::filesystem::path test_data() { return VELOR_TEST_DATA; }

}  // namespace velor::testing
