// The signal handler runs on the main thread only: the program's threads
// start with the interruptions blocked, and the main thread's mask is as
// it was.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>

#include "platform/interrupts.hpp"

namespace velor::platform {
namespace {

TEST(Interrupts, WorkerThreadsLeaveThemToTheMainThread) {
    sigset_t on_worker, on_main;
    start_worker([&] { pthread_sigmask(SIG_BLOCK, nullptr, &on_worker); }).join();
    pthread_sigmask(SIG_BLOCK, nullptr, &on_main);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        EXPECT_TRUE(sigismember(&on_worker, s)) << s;
        EXPECT_FALSE(sigismember(&on_main, s)) << s;
    }
}

}  // namespace
}  // namespace velor::platform
#endif
