#include "kaprin/updateset/record_file.h"

#include "kaprin/base/regular_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin {

RecordReader::RecordReader(const std::string& path) {
    // Read-only: loading a name that does not exist must not create it.
    fd_ = OpenRegularFile(path);
}

RecordReader::~RecordReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

int RecordReader::NextByte() {
    if (next_ == filled_) {
        ssize_t got;
        do {
            got = ::read(fd_, buffer_, sizeof buffer_);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            failed_ = true;
            return -2;
        }
        if (got == 0)
            return -1;
        filled_ = got;
        next_ = 0;
    }
    return static_cast<unsigned char>(buffer_[next_++]);
}

std::optional<std::string> RecordReader::ReadRecordLine() {
    if (fd_ < 0 || failed_)
        return std::nullopt;
    std::string line;
    for (;;) {
        const int byte = NextByte();
        if (byte == -2)
            return std::nullopt;
        if (byte == -1 || byte == '\n')
            return line;
        if (byte == '\r')
            continue;
        if (line.size() == kMaxRecordLine) {
            failed_ = true; // no path is this long: not a record file
            return std::nullopt;
        }
        line.push_back(static_cast<char>(byte));
    }
}

namespace {

std::string Contents(const SegmentSet& slots) {
    std::string bytes;
    for (const auto& slot : slots) {
        bytes += slot;
        bytes += "\r\n";
    }
    return bytes;
}

// A symbolic link stays a link: the file it names is the one replaced.
std::string FinalTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// A new file beside `target`, created with the permissions an ordinary new file gets. Its
// name is short of its own, so that a target whose name is as long as the folder allows
// still gets one.
int CreateBeside(const std::string& target, std::string& tempPath) {
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + ".kaprin-" + std::to_string(::getpid()) + "-" +
                   std::to_string(attempt) + ".tmp";
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WriteInPlace(const std::string& target, const std::string& bytes) {
    // O_NONBLOCK: a FIFO put there since the check must not wait for a reader.
    const int fd =
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes).empty();
    return ::close(fd) == 0 && written;
}

} // namespace

bool WriteRecordFile(const std::string& path, const SegmentSet& slots) {
    if (path.empty())
        return false;
    const std::string target = FinalTarget(path);
    const std::string bytes = Contents(slots);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return false; // a folder, a FIFO or a device is not replaced by a record file

    std::string tempPath;
    const int fd = CreateBeside(target, tempPath);
    if (fd < 0) {
        // A folder we may not create files in can still hold a file we may rewrite.
        return WriteInPlace(target, bytes);
    }
    bool good = WriteAll(fd, bytes).empty();
    if (good && exists)
        good = ::fchmod(fd, existing.st_mode & 07777) == 0;
    good = ::close(fd) == 0 && good;
    if (good)
        good = ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!good)
        ::unlink(tempPath.c_str());
    return good;
}

} // namespace kaprin
