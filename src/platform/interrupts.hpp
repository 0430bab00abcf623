// What happens when the user interrupts a run (Ctrl-C, a terminal that
// closes, a kill from a batch system): the temporary output files of the
// run are removed, so that the earlier outputs stand as they were and no
// half-written file is left, and the process then ends as the signal
// asks.  A few short sections (creating a temporary file and noting its
// name, putting the finished files in place) must not be cut in two; an
// interruption that arrives during one is acted on at its end.
#pragma once

#include <functional>
#include <string>
#include <thread>

namespace velor::platform {

// Installs the handlers, once, at the start of the program.  Also makes
// a closed pipe on standard output and a file-size limit ordinary write
// errors instead of deaths by signal.
void install_interrupt_handlers();

// Temporary files to remove on an interruption.  Returns a ticket for
// `forget`; at most kMaxTemporaries files are noted at a time.
inline constexpr int kMaxTemporaries = 16;
int note_temporary(const std::string& path);
void forget_temporary(int ticket);

// Starts a thread of the program's work.  The handler must run on the main
// thread only: on another it would see no deferred section of the main
// thread's that began a moment later, and remove temporary files while
// they are renamed.  So SIGINT, SIGTERM and SIGHUP are blocked on the new
// thread from its first instruction (a thread takes the signal mask of the
// thread that creates it), and the system hands them to the main thread.
// Every thread of the program is started here.
std::thread start_worker(std::function<void()> body);

// Holds off interruptions while it lives; one that came meanwhile is acted
// on when the last such section ends.
class DeferInterrupts {
public:
    DeferInterrupts();
    ~DeferInterrupts();
    DeferInterrupts(const DeferInterrupts&) = delete;
    DeferInterrupts& operator=(const DeferInterrupts&) = delete;
};

}  // namespace velor::platform
