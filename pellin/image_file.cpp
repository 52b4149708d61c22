#include "image_file.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellin {

bool ImageFile::Open(const char* path) {
    Close();
    // Without O_NONBLOCK opening a FIFO waits for a writer, for ever; only a regular file has
    // an end to read to.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (file_ = fdopen(fd, "rb")) == nullptr) {
        ::close(fd);
        return false;
    }
    length_ = static_cast<uint64_t>(info.st_size);
    return true;
}

void ImageFile::Close() {
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
    length_ = 0;
}

uint64_t ImageFile::Position() const {
    const off_t at = ftello(file_);
    return at < 0 ? 0 : static_cast<uint64_t>(at);
}

bool ImageFile::Seek(uint64_t position) {
    return fseeko(file_, static_cast<off_t>(position), SEEK_SET) == 0;
}

ImageFile::Read ImageFile::ReadLine(char* line) {
    std::memset(line, 0, kLineBufferSize);
    size_t kept = 0;   // characters of the text used
    size_t length = 0; // characters before the LF
    bool cut = false;  // a character of code 32 or less ended the text
    bool lastWasCr = false;
    for (;;) {
        const int c = std::getc(file_);
        if (c == EOF) {
            std::memset(line, 0, kLineBufferSize);
            return std::ferror(file_) ? Read::Error : Read::End;
        }
        if (c == '\n')
            break;
        ++length;
        lastWasCr = c == '\r';
        if (static_cast<unsigned char>(c) <= 32)
            cut = true;
        else if (!cut && kept < kMaxLineLength)
            line[kept++] = static_cast<char>(c);
    }
    if (length - (lastWasCr ? 1 : 0) > kMaxLineLength) {
        std::memset(line, 0, kLineBufferSize);
        return Read::TooLong;
    }
    line[kept] = '\n';
    return Read::Line;
}

} // namespace pellin
