// Starting velor as a child process that the test itself holds: for runs
// whose standard output is a pipe with no reader, and for runs killed at a
// chosen moment.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace velor::testing {

// Starts `argv` (program path first) in `folder` with empty standard input,
// standard output on `out_fd` (discarded when -1) and standard error
// discarded.  The child has the default action for every signal, as from a
// shell.
inline pid_t start_child(const std::filesystem::path& folder, const std::vector<std::string>& argv, int out_fd = -1) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(out_fd < 0 ? null : out_fd, 1);
        ::dup2(null, 2);
        ::signal(SIGPIPE, SIG_DFL);
        if (::chdir(folder.c_str()) == 0) ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status of a child that has ended, as a shell gives it (128 plus
// the signal number for a child ended by a signal); -1 while it runs.
inline int poll_child(pid_t pid) {
    int raw = 0;
    if (::waitpid(pid, &raw, WNOHANG) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Waits for the child at most `limit`, then kills it (status 128 + 9).
inline int wait_child(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const int status = poll_child(pid);
        if (status >= 0) return status;
        if (std::chrono::steady_clock::now() > deadline) ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace velor::testing
