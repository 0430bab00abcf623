// The console: when its records reach the screen, and what counts as one.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/terminal.hpp"
#include "textio/layouts.hpp"
#include "textio/output_channel.hpp"

namespace velor::textio {
namespace {

// A stream buffer with room for everything, that passes its text on to
// `shown` only when the stream is flushed: what a person at a terminal sees.
class Screen : public std::streambuf {
public:
    Screen() { setp(buffer_, buffer_ + sizeof buffer_); }
    std::string shown;

protected:
    int sync() override {
        shown.append(pbase(), pptr());
        setp(buffer_, buffer_ + sizeof buffer_);
        return 0;
    }

private:
    char buffer_[4096];
};

// On a terminal every record shows as soon as it is written, a prompt that
// keeps its line open included; to a file or pipe the records wait in the
// stream's buffer for the flush at the end of the run.
TEST(ConsoleChannel, RecordsReachATerminalAtOnce) {
    const std::string blank = "\r\n", building = blank + "   Building the normal equations ...\r\n",
                      prompt = building + "   Answer: ";
    const struct {
        ConsoleChannel::Flush flush;
        std::vector<std::string> shown;  // after each of the three records, and after the flush
    } cases[] = {
        {ConsoleChannel::Flush::each_record, {blank, building, prompt, prompt}},
        {ConsoleChannel::Flush::buffered, {"", "", "", prompt}},
    };
    for (const auto& c : cases) {
        Screen screen;
        std::ostream stream(&screen);
        ConsoleChannel console(stream, c.flush);
        std::vector<std::string> shown;
        console.write_free();
        shown.push_back(screen.shown);
        console.write_free({"  Building the normal equations ..."});
        shown.push_back(screen.shown);
        console.write(layouts::kPrompt, {"  Answer: "});
        shown.push_back(screen.shown);
        console.flush();
        shown.push_back(screen.shown);
        EXPECT_EQ(shown, c.shown);
    }
}

// Only a terminal is one: not a file, a pipe or the null device.
TEST(Terminal, OnlyATerminalIsOne) {
    struct Case {
        const char* what;
        std::function<std::FILE*()> open;
        bool terminal;
    };
    [[maybe_unused]] int master = -1;
    const std::vector<Case> cases = {
        {"a file", [] { return std::tmpfile(); }, false},
#ifdef _WIN32
        {"NUL", [] { return std::fopen("NUL", "wb"); }, false},
#else
        {"/dev/null", [] { return std::fopen("/dev/null", "wb"); }, false},
        {"a pipe",
         [] {
             int ends[2];
             if (::pipe(ends) != 0) return static_cast<std::FILE*>(nullptr);
             ::close(ends[0]);
             return ::fdopen(ends[1], "wb");
         },
         false},
        // The terminal side of a pseudo-terminal, as under a terminal
        // window (whose side, `master`, stays open meanwhile).
        {"a terminal",
         [&master] {
             master = ::posix_openpt(O_RDWR | O_NOCTTY);
             if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return static_cast<std::FILE*>(nullptr);
             return std::fopen(::ptsname(master), "wb");
         },
         true},
#endif
    };
    for (const Case& c : cases) {
        std::FILE* stream = c.open();
        ASSERT_NE(stream, nullptr) << c.what;
        EXPECT_EQ(platform::is_terminal(stream), c.terminal) << c.what;
        std::fclose(stream);
    }
#ifndef _WIN32
    if (master >= 0) ::close(master);
#endif
}

}  // namespace
}  // namespace velor::textio
