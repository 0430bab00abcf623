// Input files (line ends, long lines, buffer refills) and output files
// whose failed writes are record errors.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "support/gtest_extra.hpp"
#include "support/process.hpp"
#include "textio/errors.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/output_file.hpp"
#include "textio/output_set.hpp"
#include "textio/text_field.hpp"

namespace velor::textio {
namespace {

using namespace velor::testing;  // ScratchFolder, read_file, write_file
using Lines = std::vector<std::string>;

// Records read as 80-column lines: any line end, a last line without one, a
// CR LF split by a buffer refill, and over-long lines cut without harm to
// the next line.
TEST(InputFile, RecordsAndLineNumbers) {
    const ScratchFolder dir("textio");
    const std::string name = (dir / "in.txt").string();
    std::vector<std::pair<std::string, Lines>> cases = {
        {"a\r\nb\n\r\nlast\r", {"a", "b", "", "last"}},  // the last CR LF lost its LF
        // 48 + 2 + 2594 * 101 + 99 = 262143: one CR ends a 256 KiB block and its LF begins the next.
        {std::string(48, 'h') + "\r\n", {std::string(48, 'h')}},
    };
    for (int i = 0; i < 5000; ++i) {
        cases.back().second.push_back(std::string(99, static_cast<char>('a' + i % 26)));
        cases.back().first += cases.back().second.back() + "\r\n";
    }
    for (std::size_t length : {262143u, 262144u, 262145u})
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
        EXPECT_THROW_MSG(file->read(layouts::kLine, {line}), RecordError, "End of file");
    }
}

#ifndef _WIN32
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
            bool failed = false;
            try {
                OutputFile out(name);
                for (int i = 0; i < lines; ++i) out.write(layouts::kLine, {"record"});
                out.close();
            } catch (const RecordError&) {
                failed = true;
            }
            _exit(failed && read_file(name) == "earlier\r\n" && dir.names() == Lines{"out.hkl"} ? 0 : 1);
        }
        EXPECT_EQ(wait_program(child, std::chrono::seconds(30)), 0);
    }
}
#else
// A viewer holds the second of two targets open, sharing reading and
// writing but not deletion, as most do: found before the first is renamed,
// so both stay as they were, and no temporary file is left.
TEST(OutputSet, TargetHeldOpenByAnotherProgram) {
    const ScratchFolder dir("textio");
    const std::string first = (dir / "ax.hkl").string(), held = (dir / "ax.ins").string();
    for (const std::string& name : {first, held}) write_file(name, "earlier\r\n");
    const HANDLE viewer = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    std::string message;
    try {
        OutputSet set;
        for (const std::string& name : {first, held}) {
            OutputFile& file = set.create(name);
            file.write(layouts::kLine, {"new"});
            file.close();
        }
        set.put_in_place();
    } catch (const RecordError& e) {
        message = e.what();
    }
    CloseHandle(viewer);
    const std::string start = "Cannot replace file '" + held + "': ";
    EXPECT_TRUE(message.starts_with(start) && message.size() > start.size()) << message;
    for (const std::string& name : {first, held}) EXPECT_EQ(read_file(name), "earlier\r\n") << name;
    EXPECT_EQ(dir.names(), Lines({"ax.hkl", "ax.ins"}));
}
#endif

}  // namespace
}  // namespace velor::textio
