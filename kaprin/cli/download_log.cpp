#include "kaprin/cli/download_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kaprin::cli {

std::string FormatLogLine(const DownloadRecord& r, const std::tm& local, long utcOffsetSeconds) {
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    long off = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", utcOffsetSeconds < 0 ? '-' : '+',
                  (off / 3600) % 100, (off / 60) % 60);
    char duration[32];
    std::snprintf(duration, sizeof duration, "%u.%03u s", r.durationMs / 1000, r.durationMs % 1000);

    std::string line = std::string(when) + " " + zone;
    line += "\tCOM" + std::to_string(r.portIndex + 1);
    line += "\t" + r.file;
    line += r.ok ? "\tok 0" : "\tfailed " + std::to_string(r.code);
    line += "\t" + std::string(duration);
    line += "\t" + std::to_string(r.blocks) + " blocks";
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' '; // one download, one line
    return line;
}

DownloadLog::~DownloadLog() {
    if (fd_ >= 0)
        close(fd_);
}

std::string DownloadLog::Open(const std::string& path) {
    // "-" is standard output: under a service manager, the journal.
    int fd = path == "-" ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)
                         : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return std::strerror(errno);
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
    return {};
}

bool DownloadLog::Append(const DownloadRecord& record) {
    if (fd_ < 0)
        return false;
    std::time_t t = std::chrono::system_clock::to_time_t(record.started);
    std::tm local{};
    localtime_r(&t, &local);
    std::string line = FormatLogLine(record, local, local.tm_gmtoff) + "\n";
    ssize_t n;
    do
        n = write(fd_, line.data(), line.size());
    while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(line.size());
}

} // namespace kaprin::cli
