// The console: when its records reach the screen, and what counts as one.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
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

// Only a terminal is one: not a file or the null device, nor a pipe.
TEST(Terminal, OnlyATerminalIsOne) {
#ifdef _WIN32
    const char* const null_device = "NUL";
#else
    const char* const null_device = "/dev/null";
    // The terminal side of a pseudo-terminal, as under a terminal window,
    // and the writing end of a pipe.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    ::close(pipe_ends[0]);
#endif
    const std::vector<std::pair<std::FILE*, bool>> cases = {
        {std::tmpfile(), false}, {std::fopen(null_device, "wb"), false},
#ifndef _WIN32
        {std::fopen(::ptsname(master), "wb"), true}, {::fdopen(pipe_ends[1], "wb"), false},
#endif
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ASSERT_NE(cases[i].first, nullptr) << "case " << i;
        EXPECT_EQ(platform::is_terminal(cases[i].first), cases[i].second) << "case " << i;
        std::fclose(cases[i].first);
    }
#ifndef _WIN32
    ::close(master);
#endif
}

}  // namespace
}  // namespace velor::textio
