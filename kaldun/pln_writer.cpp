#include "pln_writer.h"

#include "hex_line.h"
#include "write_all.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldun {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr uint8_t kAnnounceType = 0x01;
constexpr uint8_t kPrepareType = 0x02;
constexpr char kClosingLine[] = "=0000000000\r\n";

// An output file under a temporary name, removed unless it was renamed to its final name.
class TempFile {
public:
    explicit TempFile(const std::string& finalPath) : finalPath_(finalPath) {
        // A short name of its own beside the final one, not the final name with a suffix: any
        // name that fits the folder leaves room for it. Not mkstemp, so that a new file gets
        // the usual mode (0666 less the umask) like any file the user creates.
        const std::size_t slash = finalPath_.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "" : finalPath_.substr(0, slash + 1);
        const unsigned long seed = static_cast<unsigned long>(::getpid()) * 2654435761ul ^
                                   static_cast<unsigned long>(std::clock()) ^
                                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this));
        for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, ".kaldun-%08lx",
                          (seed + attempt * 0x9E3779B9ul) & 0xFFFFFFFFul);
            path_ = folder + name;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST)
                break;
        }
    }
    ~TempFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!renamed_ && created())
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool created() const { return fd_ >= 0 || closed_; }

    bool write(const char* p, std::size_t n) { return WriteAll(fd_, p, n); }

    // Closes the file and gives it its final name; a file it replaces keeps its permissions.
    bool commit() {
        const int fd = fd_;
        fd_ = -1;
        closed_ = true;
        struct stat old {};
        const bool keepMode = ::stat(finalPath_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
        const bool modeKept = !keepMode || ::fchmod(fd, old.st_mode & 07777) == 0;
        if (::close(fd) != 0 || !modeKept)
            return false;
        renamed_ = ::rename(path_.c_str(), finalPath_.c_str()) == 0;
        return renamed_;
    }

private:
    std::string finalPath_;
    std::string path_;
    int fd_ = -1;
    bool closed_ = false;
    bool renamed_ = false;
};

// Appends the whole bank file to `out`; false when it fails to open or to be read.
bool appendBankFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool good = true;
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + kChunk);
        const ssize_t got = ::read(fd, out.data() + at, kChunk);
        out.resize(at + (got > 0 ? static_cast<std::size_t>(got) : 0));
        if (got > 0)
            continue;
        if (got < 0 && errno == EINTR)
            continue;
        good = got == 0;
        break;
    }
    ::close(fd);
    return good;
}

} // namespace

std::string plnPathFor(const std::string& path) {
    std::string pln = path;
    pln.replace(pln.size() >= 3 ? pln.size() - 3 : 0, 3, "PLN");
    return pln;
}

Result writePln(const BankFolder& banks, const std::string& plnPath) {
    TempFile file(plnPath);
    if (!file.created())
        return Result::PlnCreateFailed;

    std::string text;
    for (int b = 0; b < kBankCount; ++b) {
        const uint8_t header[2] = {0x00, static_cast<uint8_t>(b)};
        appendControlLine(text, kAnnounceType, header, sizeof header);
        appendControlLine(text, kPrepareType, header, sizeof header);
        if (!appendBankFile(banks.bankPath(b), text))
            return Result::BankFileFailed;
        text += kClosingLine;
        if (text.size() >= kChunk) {
            if (!file.write(text.data(), text.size()))
                return Result::PlnCreateFailed;
            text.clear();
        }
    }
    if (!file.write(text.data(), text.size()) || !file.commit())
        return Result::PlnCreateFailed;
    return Result::Written;
}

} // namespace kaldun
