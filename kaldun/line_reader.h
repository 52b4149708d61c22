// Buffered reading of an input file line by line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kaldun {

class LineReader {
public:
    enum class Status { Line, End, ReadError };

    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens the file for reading; false when it cannot be opened or is not a regular file.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Reads the next line. The line end (LF, or CR LF) is not part of `line`. A last line
    // without a line end is a line like any other. A line longer than `maxLength` is
    // returned cut to maxLength + 1 characters, so that it is still seen as too long, and
    // `blank` then still tells whether the whole line held nothing above code 32.
    Status next(std::string_view& line, bool& blank, std::size_t maxLength);

private:
    bool fill();

    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool error_ = false;
    std::string carry_; // a line that spans two buffer fills
};

} // namespace kaldun
