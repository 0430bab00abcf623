#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "textio/errors.hpp"
#include "textio/files.hpp"
#include "textio/layouts.hpp"
#include "textio/output_file.hpp"
#include "textio/text_field.hpp"

namespace velor::textio {
namespace {

namespace fs = std::filesystem;

class Files : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("textio_test_" + std::to_string(getpid()) + "_" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    static void put(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string get(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        return names;
    }
    fs::path dir_;
};

TEST_F(Files, LineEndsAndLineNumbers) {
    const char* const contents[] = {"a\nb\n\nlast", "a\r\nb\r\n\r\nlast", "a\r\nb\n\r\nlast\n", "a\nb\n\nlast\r\n"};
    for (const char* bytes : contents) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        put(path("in.txt"), bytes);
        const auto file = InputFile::open(path("in.txt"));
        ASSERT_TRUE(file);
        std::vector<std::string> lines;
        std::string_view line;
        while (file->next_line(line)) lines.emplace_back(line);
        EXPECT_EQ(lines, std::vector<std::string>({"a", "b", "", "last"}));
        EXPECT_EQ(file->location(), "file '" + path("in.txt") + "', line 4");
    }
}

TEST_F(Files, OverlongLinesDoNotBreakTheNextLine) {
    for (std::size_t length : {300000u, 262143u, 262144u, 262145u}) {
        SCOPED_TRACE(length);
        put(path("long.txt"), std::string(length, 'x') + "yz\r\nnext\nlast");
        const auto file = InputFile::open(path("long.txt"));
        ASSERT_TRUE(file);
        std::string line(80, '?');
        file->read(layouts::kLine, {line});
        EXPECT_EQ(line, std::string(80, 'x'));
        file->read(layouts::kLine, {line});
        EXPECT_EQ(line, make_field("next"));
        EXPECT_EQ(file->location(), "file '" + path("long.txt") + "', line 2");
        file->read(layouts::kLine, {line});
        EXPECT_EQ(line, make_field("last"));
        EXPECT_THROW(file->read(layouts::kLine, {line}), RecordError);
    }
}

TEST_F(Files, LinesAcrossBufferRefills) {
    // 48 + 2 + 2594 * 101 + 99 = 262143: one CR ends a 256 KiB block and its
    // LF begins the next.
    std::string bytes = std::string(48, 'h') + "\r\n";
    for (int i = 0; i < 5000; ++i) bytes += std::string(99, static_cast<char>('a' + i % 26)) + "\r\n";
    put(path("many.txt"), bytes);
    const auto file = InputFile::open(path("many.txt"));
    ASSERT_TRUE(file);
    std::string_view line;
    ASSERT_TRUE(file->next_line(line));
    EXPECT_EQ(line, std::string(48, 'h'));
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(file->next_line(line));
        ASSERT_EQ(line, std::string(99, static_cast<char>('a' + i % 26))) << "record " << i + 2;
    }
    EXPECT_FALSE(file->next_line(line));
}

TEST_F(Files, MissingFileStop) {
    std::ostringstream console;
    ConsoleChannel channel(console);
    try {
        missing_file_stop(channel, make_field("abc.res"));
        ADD_FAILURE() << "no stop";
    } catch (const RunStop& stop) {
        EXPECT_EQ(stop.exit_status(), 1);
    }
    EXPECT_EQ(console.str(), " THERE IS NO SUCH FILE AS \r\n abc.res" + std::string(73, ' '));

    // After a prompt the first text continues the open line.
    std::ostringstream console2;
    ConsoleChannel channel2(console2);
    channel2.write(layouts::kPrompt, {"Name:"});
    const std::string field = make_field(path("abc.res"));
    EXPECT_THROW(open_or_stop(field, channel2), RunStop);
    EXPECT_EQ(console2.str(), " Name: THERE IS NO SUCH FILE AS \r\n " + field);
}

TEST_F(Files, OpenByNameFieldWithoutTrailingBlanks) {
    std::ostringstream console;
    ConsoleChannel channel(console);
    put(path("abc.res"), "TITL x\n");
    EXPECT_TRUE(open_or_stop(make_field(path("abc.res")), channel));
    EXPECT_TRUE(open_or_fail(make_field(path("abc.res"))));
    EXPECT_EQ(console.str(), "");
    try {
        open_or_fail(make_field(path("abc.fcf")));
        ADD_FAILURE() << "no error";
    } catch (const RecordError& e) {
        EXPECT_EQ(std::string(e.what()), "File '" + path("abc.fcf") + "' does not exist");
    }
}

TEST_F(Files, OutputFileAppearsWholeOnlyOnClose) {
    const std::string name = path("out.hkl");
    put(name, "old\r\n");
    {
        OutputFile out(name);
        out.write(layouts::kCorrected, {1, 2, 3, 10.0, 1.0, 0.5});
        out.write(layouts::kPrompt, {"open"});
        out.write(parse_layout("(A)"), {" end"});
        EXPECT_EQ(get(name), "old\r\n");
        out.close();
        EXPECT_NO_THROW(out.close());  // a second close does nothing
    }
    EXPECT_EQ(get(name), "   1   2   3   10.00    1.00     0.500\r\n open end\r\n");
    EXPECT_EQ(listing(), std::vector<std::string>({"out.hkl"}));
}

TEST_F(Files, OutputFileDestroyedWithoutCloseLeavesEarlierFile) {
    const std::string name = path("out.ins");
    put(name, "earlier\r\n");
    {
        OutputFile out(name);
        for (int i = 0; i < 2000; ++i) out.write(layouts::kLine, {"a line of the new file"});
    }
    EXPECT_EQ(get(name), "earlier\r\n");
    EXPECT_EQ(listing(), std::vector<std::string>({"out.ins"}));
}

TEST_F(Files, OutputFileThatCannotBeCreated) {
    std::vector<std::string> names = {path("no-such-folder/out.abs")};
    if (geteuid() != 0) {  // permissions do not bind root
        fs::create_directory(dir_ / "locked");
        fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        names.push_back(path("locked/out.abs"));
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        try {
            OutputFile out(name);
            ADD_FAILURE() << "no error";
        } catch (const RecordError& e) {
            EXPECT_EQ(std::string(e.what()), "Permission denied trying to open file '" + name + "'");
        }
    }
}

// A write past the file size limit fails (SIGXFSZ ignored); run in a child so
// the limit binds nothing else.  Child exit 0: a RecordError came, no
// temporary file was left and the earlier file is untouched.
TEST_F(Files, FailedWriteIsARecordError) {
    const std::string name = path("out.hkl");
    for (int lines : {40, 2000}) {  // fails in close(), or already while writing
        SCOPED_TRACE(lines);
        put(name, "earlier\r\n");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                OutputFile out(name);
                for (int i = 0; i < lines; ++i) out.write(layouts::kLine, {"record"});
                out.close();
                _exit(1);
            } catch (const RecordError&) {
            } catch (...) {
                _exit(3);
            }
            _exit(get(name) == "earlier\r\n" && listing() == std::vector<std::string>({"out.hkl"}) ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
}  // namespace velor::textio
