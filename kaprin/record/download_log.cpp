#include "kaprin/record/download_log.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/base/text_escape.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// True when the regular file ends in a line without its line end: a write cut short.
bool EndsInCutLine(const std::string& path, int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return false;
    // The append descriptor is write-only; the same file is read through a second one.
    const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (reader < 0)
        return false;
    struct stat same {};
    char last = '\n';
    const bool cut = fstat(reader, &same) == 0 && same.st_ino == st.st_ino &&
                     same.st_dev == st.st_dev && pread(reader, &last, 1, st.st_size - 1) == 1 &&
                     last != '\n';
    close(reader);
    return cut;
}

// Writes all of text, resuming after a short write; the system's error, if any.
std::string WriteAll(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, text, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::strerror(errno);
        if (n == 0)
            return "the line was cut short";
        text += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
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
    line += "\t" + EscapeControlBytes(r.image);
    line += "\t" + OutcomeText(r);
    line += "\t" + std::string(duration);
    line += "\t" + std::to_string(r.blocks) + " blocks";
    line += " host=" + EscapeControlBytes(s.host) + " device=" + EscapeControlBytes(s.device);
    line +=
        " sha256=" + (r.imageSha256.empty() ? std::string("-") : EscapeControlBytes(r.imageSha256));
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
    // A line cut short before (by this station or another) is not glued onto this one.
    const std::string text = (EndsInCutLine(path, fd) ? "\n" : "") + line + "\n";
    const std::string error = WriteAll(fd, text.data(), text.size());
    close(fd);
    return error;
}

void RecordWriter::Write(const DownloadRecord& record) {
    ++transfers_;
    if (record.outcome == RecordOutcome::Ok)
        ++good_;
    if (record.outcome == RecordOutcome::Interrupted)
        ++interrupted_;
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
    if (error.empty()) {
        if (failingSince_ > 0 && onLogRecovered)
            onLogRecovered(path, failingSince_);
        failingSince_ = 0;
        failingPath_.clear();
        return;
    }
    ++unwritten_;
    const bool news = failingSince_ == 0 || failingPath_ != path;
    ++failingSince_;
    failingPath_ = path;
    if (news && onLogError)
        onLogError(path, error);
}

std::string SummaryText(const RecordWriter& w, int alerts) {
    const int failed = w.transfers() - w.good() - w.interrupted();
    std::string text = std::to_string(w.transfers()) + " download(s): " + std::to_string(w.good()) +
                       " good, " + std::to_string(failed) + " failed";
    if (w.interrupted() > 0)
        text += ", " + std::to_string(w.interrupted()) + " interrupted";
    text += "; " + std::to_string(alerts) + " alert(s)";
    if (w.unwritten() > 0)
        text += "; " + std::to_string(w.unwritten()) + " record(s) not written to the log file";
    return text;
}

} // namespace kaprin::record
