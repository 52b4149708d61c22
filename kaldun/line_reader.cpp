#include "line_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldun {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

bool hasNonBlank(const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) > 32)
            return true;
    return false;
}

std::string_view trimLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

LineReader::~LineReader() {
    close();
}

bool LineReader::open(const std::string& path) {
    close();
    // A FIFO would block the open until a writer comes and a device such as /dev/zero never
    // ends: only a regular file is read, and opening never waits.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return false;
    }
    buffer_.resize(kBufferSize);
    begin_ = end_ = 0;
    eof_ = error_ = false;
    carry_.clear();
    return true;
}

void LineReader::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool LineReader::fill() {
    begin_ = end_ = 0;
    if (fd_ < 0 || eof_ || error_)
        return false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got > 0) {
            end_ = static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) {
            error_ = true;
            return false;
        }
    }
}

LineReader::Status LineReader::next(std::string_view& line, bool& blank, std::size_t maxLength) {
    if (fd_ < 0)
        return Status::End;
    // Keep one character more than allowed, and the CR of a CR LF.
    const std::size_t keep = maxLength + 2;
    carry_.clear();
    bool nonBlank = false;
    bool spans = false;
    for (;;) {
        if (begin_ == end_ && !fill()) {
            if (error_)
                return Status::ReadError;
            if (!spans)
                return Status::End;
            break; // last line without a line end
        }
        const char* start = buffer_.data() + begin_;
        const std::size_t avail = end_ - begin_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
        const std::size_t take = lf ? static_cast<std::size_t>(lf - start) : avail;
        if (!nonBlank)
            nonBlank = hasNonBlank(start, take);
        if (lf && !spans) {
            // The common case: the whole line lies in the buffer.
            begin_ += take + 1;
            line = trimLineEnd(std::string_view(start, take));
            if (line.size() > maxLength + 1)
                line = line.substr(0, maxLength + 1);
            blank = !nonBlank;
            return Status::Line;
        }
        if (carry_.size() < keep)
            carry_.append(start, std::min(take, keep - carry_.size()));
        spans = true;
        begin_ += lf ? take + 1 : take;
        if (lf)
            break;
    }
    line = trimLineEnd(carry_);
    if (line.size() > maxLength + 1)
        line = line.substr(0, maxLength + 1);
    blank = !nonBlank;
    return Status::Line;
}

} // namespace kaldun
