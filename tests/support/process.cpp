#include "support/process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace velor::testing {

namespace fs = std::filesystem;

pid_t start_program(const fs::path& folder, const std::vector<std::string>& argv, const std::string& in,
                    const std::string& out, const std::string& err, int out_fd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(in.c_str(), O_RDONLY), 0);
        ::dup2(out_fd >= 0 ? out_fd : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::signal(SIGPIPE, SIG_DFL);
        if (::chdir(folder.c_str()) == 0) ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

int poll_program(pid_t pid) {
    int raw = 0;
    if (::waitpid(pid, &raw, WNOHANG) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

int wait_program(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (const int status = poll_program(pid); status >= 0) return status;
        if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ProcessResult run_program(const fs::path& folder, const std::vector<std::string>& argv, const std::string& input) {
    const ScratchFolder io("io");
    write_file(io / "in", input);
    ProcessResult r;
    r.status = wait_program(start_program(folder, argv, io / "in", io / "out", io / "err"), std::chrono::minutes(1));
    r.out = read_file(io / "out");
    r.err = read_file(io / "err");
    return r;
}

}  // namespace velor::testing
