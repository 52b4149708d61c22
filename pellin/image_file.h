// Line-by-line reading of a PLN image file.
#pragma once

#include <cstdint>
#include <cstdio>

namespace pellin {

inline constexpr size_t kLineBufferSize = 82;
inline constexpr size_t kMaxLineLength = kLineBufferSize - 2; // room for LF and NUL

class ImageFile {
public:
    enum class Read { Line, End, TooLong, Error };

    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { Close(); }

    // False when the file cannot be opened or is not a regular file (a FIFO or a device is
    // refused without waiting).
    bool Open(const char* path);
    void Close();

    uint64_t Length() const { return length_; }
    uint64_t Position() const;
    bool Seek(uint64_t position);

    // Reads one line up to and including its LF into line (kLineBufferSize bytes): the text
    // before the first character of code 32 or less, then LF and NUL. A last line without LF
    // is the end of the file. A line whose text before its line end (LF, or CR LF) is longer
    // than kMaxLineLength gives TooLong; the buffer then holds no line.
    Read ReadLine(char* line);

private:
    std::FILE* file_ = nullptr;
    uint64_t length_ = 0;
};

} // namespace pellin
