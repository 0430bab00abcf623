#include "support/process.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace velor::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& tag) {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("velor-test-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

std::vector<std::string> ScratchFolder::names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// Single-quoted for the shell.
std::string quoted(const std::string& s) {
    std::string q(1, '\'');
    for (char c : s) {
        if (c == '\'') q.append("'\\''");
        else q.push_back(c);
    }
    q.push_back('\'');
    return q;
}

}  // namespace

std::string program_path(const std::string& name) {
#ifdef VELOR_GENERATOR
    if (name == "velor-gen") return VELOR_GENERATOR;
#endif
    return name == "velor" ? VELOR_PROGRAM : "";
}

ProcessResult run_program(const fs::path& folder, const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& input) {
    const fs::path in = folder / ".stdin", out = folder / ".stdout", err = folder / ".stderr";
    write_file(in, input);
    std::string command = "cd ";
    command.append(quoted(folder.string())).append(" && ").append(quoted(program));
    for (const auto& a : arguments) command.append(" ").append(quoted(a));
    command.append(" <").append(quoted(in.string())).append(" >").append(quoted(out.string()));
    command.append(" 2>").append(quoted(err.string()));
    const int raw = std::system(command.c_str());
    ProcessResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = read_file(out);
    r.err = read_file(err);
    fs::remove(in);
    fs::remove(out);
    fs::remove(err);
    return r;
}

ProcessResult run_velor(const fs::path& folder, const std::vector<std::string>& arguments, const std::string& input) {
    return run_program(folder, program_path("velor"), arguments, input);
}

}  // namespace velor::testing
