// Input files (line ends, long lines, buffer refills), the missing-file stop
// and output files that appear whole only when closed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "stops/run_stop.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/output_file.hpp"
#include "textio/text_field.hpp"

namespace velor::textio {
namespace {

namespace fs = std::filesystem;
using namespace velor::testing;  // ScratchFolder, read_file, write_file

using Lines = std::vector<std::string>;

// How a call ends: "ok", "error: <message>" (a record error) or "stop <exit status>".
template <class F>
std::string ending(F&& call) {
    try {
        call();
    } catch (const RecordError& e) {
        return "error: " + std::string(e.what());
    } catch (const RunStop& stop) {
        return "stop " + std::to_string(stop.exit_status());
    }
    return "ok";
}

// Records read as 80-column lines: any line end, a last line without one, a
// CR LF split by a buffer refill, and over-long lines cut without harm to
// the next line.
TEST(InputFile, RecordsAndLineNumbers) {
    const ScratchFolder dir("textio");
    const std::string name = dir / "in.txt";
    std::vector<std::pair<std::string, Lines>> cases = {
        {"a\nb\n\nlast", {"a", "b", "", "last"}},     {"a\r\nb\r\n\r\nlast", {"a", "b", "", "last"}},
        {"a\r\nb\n\r\nlast\n", {"a", "b", "", "last"}}, {"a\nb\n\nlast\r\n", {"a", "b", "", "last"}},
        {"a\r\nlast\r", {"a", "last"}},  // a CR LF that lost its LF
        // 48 + 2 + 2594 * 101 + 99 = 262143: one CR ends a 256 KiB block and its LF begins the next.
        {std::string(48, 'h') + "\r\n", {std::string(48, 'h')}},
    };
    for (int i = 0; i < 5000; ++i) {
        cases.back().second.push_back(std::string(99, static_cast<char>('a' + i % 26)));
        cases.back().first += cases.back().second.back() + "\r\n";
    }
    for (std::size_t length : {300000u, 262143u, 262144u, 262145u})
        cases.push_back({std::string(length, 'x') + "yz\r\nnext\nlast", {std::string(80, 'x'), "next", "last"}});
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes.substr(0, 20)) + " " + std::to_string(bytes.size()));
        write_file(name, bytes);
        const auto file = InputFile::open(name);
        ASSERT_TRUE(file);
        std::string line(80, '?');
        for (const std::string& text : expected) {
            file->read(layouts::kLine, {line});
            ASSERT_EQ(line, make_field(text));
        }
        EXPECT_EQ(file->location(), "file '" + name + "', line " + std::to_string(expected.size()));
        EXPECT_EQ(ending([&] { file->read(layouts::kLine, {line}); }), "error: End of file");
    }
}

TEST(Files, OpeningByNameFieldAndTheMissingFileStop) {
    const ScratchFolder dir("textio");
    const std::string res = dir / "abc.res", fcf = dir / "abc.fcf";
    write_file(res, "TITL x\n");
    std::ostringstream console;
    ConsoleChannel channel(console);
    EXPECT_TRUE(open_or_stop(make_field(res), channel));
    EXPECT_TRUE(open_or_fail(make_field(res)));
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(ending([&] { open_or_fail(make_field(fcf)); }), "error: File '" + fcf + "' does not exist");
    EXPECT_EQ(ending([&] { missing_file_stop(channel, make_field("abc.res")); }), "stop 1");
    EXPECT_EQ(console.str(), " THERE IS NO SUCH FILE AS \r\n abc.res" + std::string(73, ' '));
    // After a prompt the first text continues the open line.
    std::ostringstream console2;
    ConsoleChannel channel2(console2);
    channel2.write(layouts::kPrompt, {"Name:"});
    EXPECT_EQ(ending([&] { open_or_stop(make_field(fcf), channel2); }), "stop 1");
    EXPECT_EQ(console2.str(), " Name: THERE IS NO SUCH FILE AS \r\n " + make_field(fcf));
}

TEST(OutputFile, AppearsWholeOnlyWhenPutInPlaceOrIsRefused) {
    const ScratchFolder dir("textio");
    const std::string name = dir / "out.hkl";
    write_file(name, "old\r\n");
    {
        OutputFile out(name);
        out.write(layouts::kCorrected, {1, 2, 3, 10.0, 1.0, 0.5});
        out.write(layouts::kPrompt, {"open"});
        out.write(parse_layout("(A)"), {" end"});
        out.close();
        EXPECT_NO_THROW(out.close());  // a second close does nothing
        EXPECT_EQ(read_file(name), "old\r\n");
        EXPECT_EQ(read_file(out.temporary_name()), "   1   2   3   10.00    1.00     0.500\r\n open end\r\n");
        out.put_in_place();
    }
    EXPECT_EQ(read_file(name), "   1   2   3   10.00    1.00     0.500\r\n open end\r\n");
    EXPECT_EQ(dir.names(), Lines({"out.hkl"}));
    // Destroyed before it is put in place: the earlier file stays, and
    // nothing else.
    for (const bool closed : {false, true}) {
        OutputFile out(name);
        for (int i = 0; i < 2000; ++i) out.write(layouts::kLine, {"a line of the new file"});
        if (closed) out.close();
    }
    EXPECT_EQ(read_file(name), "   1   2   3   10.00    1.00     0.500\r\n open end\r\n");
    EXPECT_EQ(dir.names(), Lines({"out.hkl"}));

    Lines names = {dir / "no-such-folder/out.abs"};
    if (geteuid() != 0) {  // permissions do not bind root
        fs::create_directory(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        names.push_back(dir / "locked/out.abs");
    }
    for (const std::string& refused : names)
        EXPECT_EQ(ending([&] { OutputFile out(refused); }),
                  "error: Permission denied trying to open file '" + refused + "'");
}

// Space set aside for a file, more or less than it takes: the file is its
// text alone, and what was set aside past its end is given back.
TEST(OutputFile, ReservedSpaceLeavesTheTextAsWritten) {
    const ScratchFolder dir("textio");
    const std::string name = dir / "out.hkl";
    std::string text;  // as written without a reservation
    for (const std::uint64_t reserved : {std::uint64_t{0}, std::uint64_t{10}, std::uint64_t{4} << 20}) {
        SCOPED_TRACE(reserved);
        OutputFile out(name);
        out.reserve(reserved);
        for (int i = 0; i < 100; ++i) out.write(layouts::kCorrected, {i, 2, 3, 10.0, 1.0, 0.5});
        out.close();
        out.put_in_place();
        if (reserved == 0) text = read_file(name);
        EXPECT_EQ(read_file(name), text);
        EXPECT_EQ(text.size(), 4000u);
        struct stat st {};
        ASSERT_EQ(stat(name.c_str(), &st), 0);
        EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512u, std::uint64_t{1} << 20);
    }
}

// A write past the file size limit fails (SIGXFSZ ignored); run in a child so
// the limit binds nothing else.  Child exit 0: a record error came, no
// temporary file was left and the earlier file is untouched.
TEST(OutputFile, FailedWriteIsARecordError) {
    const ScratchFolder dir("textio");
    const std::string name = dir / "out.hkl";
    for (int lines : {40, 20000}) {  // fails in close(), or already in the writing thread
        SCOPED_TRACE(lines);
        write_file(name, "earlier\r\n");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            const std::string end = ending([&] {
                OutputFile out(name);
                for (int i = 0; i < lines; ++i) out.write(layouts::kLine, {"record"});
                out.close();
            });
            const bool intact = read_file(name) == "earlier\r\n" && dir.names() == Lines{"out.hkl"};
            _exit(end.rfind("error: ", 0) == 0 && intact ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
}  // namespace velor::textio
