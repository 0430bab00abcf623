// Runs programs as real processes in a scratch folder: to completion with a
// given standard input, or started and signalled at a chosen moment.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velor::testing {

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
    std::vector<std::string> names() const;  // of the files in the folder, sorted

private:
    std::filesystem::path path_;
};

// Starts `argv` (a program found as a shell finds it, then its arguments) in
// `folder`, with standard input, output and error on the files named or,
// for output, on `out_fd` when it is not -1.  The child has the default
// action for every signal, as from a shell.
pid_t start_program(const std::filesystem::path& folder, const std::vector<std::string>& argv,
                    const std::string& in = "/dev/null", const std::string& out = "/dev/null",
                    const std::string& err = "/dev/null", int out_fd = -1);
// The exit status of a child that has ended, as a shell gives it (128 plus
// the signal for one ended by a signal); -1 while it runs.
int poll_program(pid_t pid);
// Waits for the child at most `limit`, then kills it (status 128 + 9).
int wait_program(pid_t pid, std::chrono::milliseconds limit);

struct ProcessResult {
    int status = -1;
    std::string out, err;
};
// Runs argv in `folder` with `input` on standard input, for at most a minute.
ProcessResult run_program(const std::filesystem::path& folder, const std::vector<std::string>& argv,
                          const std::string& input = "");

// The same, with the program apart from its arguments.
inline ProcessResult run_program(const std::filesystem::path& folder, const std::string& program,
                                 std::vector<std::string> arguments, const std::string& input = "") {
    arguments.insert(arguments.begin(), program);
    return run_program(folder, arguments, input);
}

// The path of a program built alongside the tests (velor, velor-gen); empty
// when it is not built.
inline std::string program_path([[maybe_unused]] const std::string& name) {
#ifdef VELOR_GENERATOR
    if (name == "velor-gen") return VELOR_GENERATOR;
#endif
#ifdef VELOR_PROGRAM
    if (name == "velor") return VELOR_PROGRAM;
#endif
    return "";
}

inline ProcessResult run_velor(const std::filesystem::path& folder, std::vector<std::string> arguments,
                               const std::string& input = "") {
    arguments.insert(arguments.begin(), program_path("velor"));
    return run_program(folder, arguments, input);
}

// The folder of the committed test data.
inline std::filesystem::path test_data() { return VELOR_TEST_DATA; }

}  // namespace velor::testing
