// Fortran-style fixed-column output for the generator's files, and a buffered
// line writer fast enough for millions of reflection records.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velor::gen {

// |x| * 10^d rounded half away from zero, decided on the exact binary value of
// x (0.125 is a tie and goes up, 2.675 is stored below the tie and goes down).
// Empty when the result would not fit in 18 digits, or x is not finite.
std::optional<std::uint64_t> scaled_round(double x, int d);

// Iw into field[0..w): right-justified; w asterisks if it does not fit.
void put_int(char* field, int w, long long v);

// Fw.d into field[0..w): rounded half away from zero, right-justified, a 0
// before the point only when there is a column for it, and a minus sign kept
// on a negative value that rounds to zero. Returns false (field all asterisks)
// when the value does not fit.
bool put_fixed(char* field, int w, int d, double x);

// The same as text; a value too wide for w widens the field instead of
// overflowing (for header and instruction lines, whose columns are not read).
std::string fixed_text(double x, int w, int d);
std::string int_text(long long v, int w);

// Line-oriented output file with a large buffer. Lines end in LF or CR LF.
class LineSink {
public:
    LineSink(const std::string& path, bool crlf);
    ~LineSink();
    LineSink(const LineSink&) = delete;
    LineSink& operator=(const LineSink&) = delete;

    // Room for n characters of the current line; commit(n) keeps them.
    char* reserve(std::size_t n) {
        if (buf_.size() - used_ < n + 2) flush();
        return buf_.data() + used_;
    }
    void commit(std::size_t n) { used_ += n; }
    void end_line() {
        char* p = reserve(0);
        if (crlf_) *p++ = '\r';
        *p = '\n';
        used_ += crlf_ ? 2 : 1;
    }
    void line(std::string_view text);
    // Writes out the buffer and closes the file; throws GenError on failure.
    void close();

private:
    void flush();
    std::string path_;
    std::FILE* file_ = nullptr;
    std::vector<char> buf_;
    std::size_t used_ = 0;
    bool crlf_ = false;
};

}  // namespace velor::gen
