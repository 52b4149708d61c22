#include "kaprin/record/download_log.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/base/regular_file.h"
#include "kaprin/base/text_escape.h"
#include "kaprin/record/outcome_event.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
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

// A field's value as text: numbers as digits, null as empty.
std::string Text(const nlohmann::json& v) {
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_null())
        return {};
    return v.dump();
}

// A key=value of the sixth column: spaces, control bytes, "%" and "=" are written %XX so
// that a scanned label cannot split the column; an empty value is "-".
std::string LabelValue(const std::string& value) {
    if (value.empty())
        return "-";
    std::string out;
    for (unsigned char c : value) {
        if (c <= ' ' || c == '%' || c == '=' || c == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// The outcome word with its code: "ok 0", "failed 3"; an interrupted or refused
// transfer has no code (0 would read as success).
std::string OutcomeText(const nlohmann::json& o) {
    std::string text = Text(o["outcome"]);
    if (!o["code"].is_null())
        text += " " + Text(o["code"]);
    return text;
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

} // namespace

const char* OutcomeWord(RecordOutcome outcome) {
    switch (outcome) {
    case RecordOutcome::Ok:
        return "ok";
    case RecordOutcome::Failed:
        return "failed";
    case RecordOutcome::Interrupted:
        return "interrupted";
    case RecordOutcome::Refused:
        return "refused";
    }
    return "failed";
}

std::string DefaultStationName(const std::string& device, int portNumber) {
    return device.empty() ? ComName(portNumber) : device.substr(device.rfind('/') + 1);
}

std::string LoginName() {
    // The name logged in on the terminal, then the user the program runs as.
    char name[LOGIN_NAME_MAX + 1] = {};
    if (getlogin_r(name, sizeof name) == 0 && name[0])
        return name;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return pw->pw_name;
    return std::to_string(geteuid());
}

nlohmann::json OutcomeObject(const StampedRecord& s) {
    const DownloadRecord& r = s.record;
    nlohmann::json o = EventObject("outcome", std::chrono::system_clock::now());
    const bool coded = r.outcome == RecordOutcome::Ok || r.outcome == RecordOutcome::Failed;
    o["started"] = IsoUtc(s.started);
    o["station"] = s.station;
    o["host"] = s.host;
    o["port"] = ComName(r.portIndex + 1);
    o["device"] = s.device;
    o["image"] = r.image;
    o["image_sha256"] = r.imageSha256;
    o["outcome"] = OutcomeWord(r.outcome);
    o["code"] = coded ? nlohmann::json(r.code) : nlohmann::json();
    o["blocks"] = r.blocks;
    o["duration_ms"] = r.durationMs;
    o["unit"] = s.identity.unit;
    o["operator"] = s.identity.operatorName;
    o["order"] = s.identity.order;
    if (!s.reason.empty())
        o["reason"] = s.reason;
    return o;
}

std::string FormatLogLine(const nlohmann::json& o, const std::tm& local, long utcOffsetSeconds) {
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    long off = utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", utcOffsetSeconds < 0 ? '-' : '+',
                  (off / 3600) % 100, (off / 60) % 60);
    const auto ms = o["duration_ms"].get<std::uint32_t>();
    char duration[32];
    std::snprintf(duration, sizeof duration, "%u.%03u s", ms / 1000, ms % 1000);
    const std::string sha = Text(o["image_sha256"]);

    std::string line = std::string(when) + " " + zone;
    line += "\t" + EscapeControlBytes(Text(o["port"]));
    line += "\t" + EscapeControlBytes(Text(o["image"]));
    line += "\t" + OutcomeText(o);
    line += "\t" + std::string(duration);
    line += "\t" + Text(o["blocks"]) + " blocks";
    line += " host=" + EscapeControlBytes(Text(o["host"])) +
            " device=" + EscapeControlBytes(Text(o["device"]));
    line += " sha256=" + (sha.empty() ? std::string("-") : EscapeControlBytes(sha));
    line += " unit=" + LabelValue(Text(o["unit"])) +
            " operator=" + LabelValue(Text(o["operator"])) +
            " order=" + LabelValue(Text(o["order"]));
    return line;
}

std::vector<std::string> JournalFields(const nlohmann::json& o) {
    const std::string outcome = Text(o["outcome"]);
    std::string message = "download " + OutcomeText(o) + ": " + Text(o["image"]) + " on " +
                          Text(o["port"]) + " (" + Text(o["device"]) + "), " + Text(o["blocks"]) +
                          " blocks in " + Text(o["duration_ms"]) + " ms";
    if (o.contains("reason"))
        message += ": " + Text(o["reason"]);
    // 6 is LOG_INFO, 4 LOG_WARNING.
    std::vector<std::string> fields{"MESSAGE=" + message,
                                    std::string("PRIORITY=") + (outcome == "ok" ? "6" : "4"),
                                    "SYSLOG_IDENTIFIER=kaprin"};
    for (const auto& [key, value] : o.items()) {
        if (key == "v" || key == "event" || key == "time")
            continue;
        std::string name = "KAPRIN_";
        for (char c : key)
            name.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        fields.push_back(name + "=" + Text(value));
    }
    return fields;
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
    // Stations sharing the file take turns: the look at its last byte and the write must not
    // see another station's append half done. Where locks are not kept, append anyway.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // A line cut short before (by this station or another) is not glued onto this one.
    const std::string text = (EndsInCutLine(path, fd) ? "\n" : "") + line + "\n";
    const std::string error = WriteAll(fd, text);
    close(fd);
    return error;
}

std::string RecordWriter::AdmitImage(std::int32_t portIndex, const std::string& image) {
    if (askUnit) {
        const std::optional<std::string> unit = askUnit();
        if (!unit)
            return Refuse(portIndex, image, "", "no unit id was given");
        identity.unit = *unit;
    }
    const PinVerdict verdict = CheckImagePin(image, pin);
    if (verdict.allowed)
        return {};
    return Refuse(portIndex, image, verdict.actual, verdict.refusal);
}

std::string RecordWriter::Refuse(std::int32_t portIndex, const std::string& image,
                                 std::string sha256, std::string reason) {
    StampedRecord s;
    s.record.portIndex = portIndex;
    s.record.image = image;
    s.record.imageSha256 = std::move(sha256);
    s.record.outcome = RecordOutcome::Refused;
    s.started = std::chrono::system_clock::now();
    s.reason = std::move(reason);
    Record(s);
    return s.reason;
}

void RecordWriter::Write(const DownloadRecord& record) {
    StampedRecord s;
    s.record = record;
    s.started = std::chrono::system_clock::now() - std::chrono::milliseconds(record.durationMs);
    Record(std::move(s));
}

void RecordWriter::Record(StampedRecord s) {
    const RecordOutcome outcome = s.record.outcome;
    if (outcome == RecordOutcome::Refused)
        ++refused_;
    else
        ++transfers_;
    if (outcome == RecordOutcome::Ok)
        ++good_;
    if (outcome == RecordOutcome::Interrupted)
        ++interrupted_;
    s.host = HostName();
    const std::string device = deviceOf_ ? deviceOf_(s.record.portIndex) : std::string();
    s.device = device.empty() ? "-" : device;
    s.station = station.empty() ? DefaultStationName(device, s.record.portIndex + 1) : station;
    s.identity = identity;
    const nlohmann::json o = OutcomeObject(s);
    SendToJournal(JournalFields(o));

    const std::string path = logPath_ ? logPath_() : std::string();
    if (!path.empty()) {
        std::time_t t = std::chrono::system_clock::to_time_t(s.started);
        std::tm local{};
        localtime_r(&t, &local);
        const std::string error = AppendLine(path, FormatLogLine(o, local, local.tm_gmtoff));
        if (error.empty()) {
            if (failingSince_ > 0 && onLogRecovered)
                onLogRecovered(path, failingSince_);
            failingSince_ = 0;
            failingPath_.clear();
        } else {
            ++unwritten_;
            const bool news = failingSince_ == 0 || failingPath_ != path;
            ++failingSince_;
            failingPath_ = path;
            if (news && onLogError)
                onLogError(path, error);
        }
    }
    if (onOutcome)
        onOutcome(o);
}

std::string SummaryText(const RecordWriter& w, int alerts) {
    const int failed = w.transfers() - w.good() - w.interrupted();
    std::string text = std::to_string(w.transfers()) + " download(s): " + std::to_string(w.good()) +
                       " good, " + std::to_string(failed) + " failed";
    if (w.interrupted() > 0)
        text += ", " + std::to_string(w.interrupted()) + " interrupted";
    text += "; " + std::to_string(alerts) + " alert(s)";
    if (w.refused() > 0)
        text += "; " + std::to_string(w.refused()) + " refused";
    if (w.unwritten() > 0)
        text += "; " + std::to_string(w.unwritten()) + " record(s) not written to the log file";
    return text;
}

} // namespace kaprin::record
