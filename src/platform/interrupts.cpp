#include "platform/interrupts.hpp"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/files.hpp"
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace velor::platform {
namespace {

// Everything the POSIX signal handler touches is lock-free atomic, and it
// calls only unlink and raise: both may be called from a signal handler.
std::atomic<char*> temporaries[kMaxTemporaries];
std::atomic<int> deferring{0};
std::atomic<int> pending_signal{0};

void remove_temporaries() {
    for (auto& slot : temporaries)
        if (const char* path = slot.load()) {
#ifdef _WIN32
            remove_file(path);
#else
            ::unlink(path);
#endif
        }
}

#ifdef _WIN32

// Windows calls a console control handler on a thread of its own while
// the program goes on, so a deferred section is a critical section (entered
// again by the thread that holds it) that the handler waits for.  The
// handler never returns: after CTRL_CLOSE_EVENT Windows would end the
// process on return.  Temporary files are opened with FILE_SHARE_DELETE,
// so they can be removed while another thread writes them, and marked
// for deletion on close besides (files.hpp), so that even a process ended
// by TerminateProcess leaves none.  The process ends with
// STATUS_CONTROL_C_EXIT, as Windows ends one without a handler; through
// TerminateProcess, which runs no exit code of the C library that could
// wait for a lock held by a thread stopped in the middle.
CRITICAL_SECTION& sections() {
    static struct Sections {
        CRITICAL_SECTION section;
        Sections() { InitializeCriticalSection(&section); }
    } sections;
    return sections.section;
}

[[noreturn]] void end_as_interrupted() {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    std::_Exit(3);
}

BOOL WINAPI on_console_event(DWORD) {
    pending_signal.store(SIGINT);
    EnterCriticalSection(&sections());
    remove_temporaries();
    end_as_interrupted();
}

#else

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

#endif

}  // namespace

void install_interrupt_handlers() {
#ifdef _WIN32
    sections();
    SetConsoleCtrlHandler(on_console_event, TRUE);
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

#ifdef _WIN32

// The console control handler runs on a thread of its own whatever the
// other threads do.
std::thread start_worker(std::function<void()> body) { return std::thread(std::move(body)); }

DeferInterrupts::DeferInterrupts() {
    EnterCriticalSection(&sections());
    deferring.fetch_add(1);
}

DeferInterrupts::~DeferInterrupts() {
    if (deferring.fetch_sub(1) == 1 && pending_signal.load() != 0) {
        remove_temporaries();
        end_as_interrupted();
    }
    LeaveCriticalSection(&sections());
}

#else

namespace {

// The interruptions blocked on the calling thread while it lives.
class InterruptsBlocked {
public:
    InterruptsBlocked() {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, s);
        pthread_sigmask(SIG_BLOCK, &blocked, &before_);
    }
    ~InterruptsBlocked() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    InterruptsBlocked(const InterruptsBlocked&) = delete;
    InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

private:
    sigset_t before_;
};

}  // namespace

std::thread start_worker(std::function<void()> body) {
    // A signal that comes meanwhile waits, and reaches this thread when the
    // mask is restored.
    const InterruptsBlocked blocked;
    return std::thread(std::move(body));
}

DeferInterrupts::DeferInterrupts() { deferring.fetch_add(1); }

DeferInterrupts::~DeferInterrupts() {
    if (deferring.fetch_sub(1) != 1) return;
    if (const int signal_number = pending_signal.exchange(0)) {
        remove_temporaries();
        end_as_signalled(signal_number);
    }
}

#endif

}  // namespace velor::platform
