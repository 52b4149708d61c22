#include "kaprin/record/download_log.h"

#include "kaprin/core/port_choice.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kaprin::record {

namespace {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "unknown";
    return name;
}

int OpenForAppend(const std::string& path) {
    if (path == "-") // standard output: a pipe, or the journal under a service manager
        return ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

const char* OutcomeWord(RecordOutcome outcome) {
    switch (outcome) {
    case RecordOutcome::Ok:
        return "ok";
    case RecordOutcome::Failed:
        return "failed";
    case RecordOutcome::Interrupted:
        return "interrupted";
    }
    return "failed";
}

std::string OutcomeText(const DownloadRecord& r) {
    std::string text = OutcomeWord(r.outcome);
    if (r.outcome != RecordOutcome::Interrupted)
        text += " " + std::to_string(r.code);
    return text;
}

std::string FormatLogLine(const StampedRecord& s, const std::tm& local, long utcOffsetSeconds) {
    const DownloadRecord& r = s.record;
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    long off = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", utcOffsetSeconds < 0 ? '-' : '+',
                  (off / 3600) % 100, (off / 60) % 60);
    char duration[32];
    std::snprintf(duration, sizeof duration, "%u.%03u s", r.durationMs / 1000, r.durationMs % 1000);

    std::string line = std::string(when) + " " + zone;
    line += "\t" + ComName(r.portIndex + 1);
    line += "\t" + r.image;
    line += "\t" + OutcomeText(r);
    line += "\t" + std::string(duration);
    line += "\t" + std::to_string(r.blocks) + " blocks";
    line += " host=" + s.host + " device=" + s.device;
    line += " sha256=" + (r.imageSha256.empty() ? std::string("-") : r.imageSha256);
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' '; // one transfer, one line
    return line;
}

std::string CheckLogFile(const std::string& path) {
    int fd = OpenForAppend(path);
    if (fd < 0)
        return std::strerror(errno);
    close(fd);
    return {};
}

std::string AppendLine(const std::string& path, const std::string& line) {
    int fd = OpenForAppend(path);
    if (fd < 0)
        return std::strerror(errno);
    const std::string text = line + "\n";
    ssize_t n;
    do
        n = write(fd, text.data(), text.size());
    while (n < 0 && errno == EINTR);
    std::string error;
    if (n < 0)
        error = std::strerror(errno);
    else if (n != static_cast<ssize_t>(text.size()))
        error = "the line was cut short";
    close(fd);
    return error;
}

void RecordWriter::Write(const DownloadRecord& record) {
    ++transfers_;
    if (record.outcome == RecordOutcome::Ok)
        ++good_;
    StampedRecord s;
    s.record = record;
    s.started = std::chrono::system_clock::now() - std::chrono::milliseconds(record.durationMs);
    s.host = HostName();
    s.device = deviceOf_ ? deviceOf_(record.portIndex) : std::string();
    if (s.device.empty())
        s.device = "-";
    SendToJournal(s);

    const std::string path = logPath_ ? logPath_() : std::string();
    if (path.empty())
        return;
    std::time_t t = std::chrono::system_clock::to_time_t(s.started);
    std::tm local{};
    localtime_r(&t, &local);
    const std::string error = AppendLine(path, FormatLogLine(s, local, local.tm_gmtoff));
    if (!error.empty() && onLogError)
        onLogError(path, error);
}

} // namespace kaprin::record
