#include "platform/interrupts.hpp"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velor::platform {
namespace {

// Everything the handler touches is lock-free atomic, and it calls only
// unlink and raise: both may be called from a signal handler.
std::atomic<char*> temporaries[kMaxTemporaries];
std::atomic<int> deferring{0};
std::atomic<int> pending_signal{0};

void remove_temporaries() {
    for (auto& slot : temporaries)
        if (const char* path = slot.load()) {
#ifdef _WIN32
            ::_unlink(path);
#else
            ::unlink(path);
#endif
        }
}

// The default action of the signal ends the process with the status a
// shell expects of an interrupted program (130 for Ctrl-C).
[[noreturn]] void end_as_signalled(int signal_number) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    std::_Exit(128 + signal_number);  // if the signal was blocked meanwhile
}

extern "C" void on_interrupt(int signal_number) {
    pending_signal.store(signal_number);
    if (deferring.load() > 0) return;
    remove_temporaries();
    end_as_signalled(signal_number);
}

}  // namespace

void install_interrupt_handlers() {
#ifdef _WIN32
    for (int s : {SIGINT, SIGTERM}) std::signal(s, on_interrupt);
#else
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a read of the keyboard goes on after a deferred signal
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    // A closed pipe on standard output and a file-size limit are write
    // errors like any other: reported with exit status 2 and the temporary
    // output files removed.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int note_temporary(const std::string& path) {
    char* copy = static_cast<char*>(std::malloc(path.size() + 1));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, path.c_str(), path.size() + 1);
    for (int i = 0; i < kMaxTemporaries; ++i) {
        char* empty = nullptr;
        if (temporaries[i].compare_exchange_strong(empty, copy)) return i;
    }
    std::free(copy);
    throw std::logic_error("too many temporary files at once");
}

void forget_temporary(int ticket) {
    // Only inside a deferred section: the handler may not read a name
    // that is being freed.
    const DeferInterrupts defer;
    std::free(temporaries[ticket].exchange(nullptr));
}

DeferInterrupts::DeferInterrupts() { deferring.fetch_add(1); }

DeferInterrupts::~DeferInterrupts() {
    if (deferring.fetch_sub(1) != 1) return;
    if (const int signal_number = pending_signal.exchange(0)) {
        remove_temporaries();
        end_as_signalled(signal_number);
    }
}

}  // namespace velor::platform
