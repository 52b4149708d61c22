#include "kaprin/record/download_log.h"
#include "kaprin/record/line_report.h"

// No CODE_FILE, CODE_LINE and CODE_FUNC fields: they would name this file, not a download.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <sys/uio.h>

#include <cstring>
#include <memory>

namespace kaprin::record {

bool SendToJournal(const std::vector<std::string>& fields) {
    std::vector<iovec> iov;
    iov.reserve(fields.size());
    for (const std::string& f : fields)
        iov.push_back({const_cast<char*>(f.data()), f.size()});
    return sd_journal_sendv(iov.data(), static_cast<int>(iov.size())) >= 0;
}

} // namespace kaprin::record

namespace kaprin::record {

namespace {

std::string Field(sd_journal* j, const char* name) {
    const void* data = nullptr;
    size_t size = 0;
    if (sd_journal_get_data(j, name, &data, &size) < 0)
        return {};
    const std::size_t skip = std::strlen(name) + 1; // "NAME="
    return size > skip ? std::string(static_cast<const char*>(data) + skip, size - skip)
                       : std::string();
}

} // namespace

std::string ReadReportEntries(const std::string& journalDir, std::uint64_t sinceUsec,
                              std::vector<ReportEntry>& out) {
    sd_journal* j = nullptr;
    const int r = journalDir.empty() ? sd_journal_open(&j, SD_JOURNAL_LOCAL_ONLY)
                                     : sd_journal_open_directory(&j, journalDir.c_str(), 0);
    if (r < 0)
        return std::strerror(-r);
    std::unique_ptr<sd_journal, void (*)(sd_journal*)> closer(j, sd_journal_close);
    sd_journal_add_match(j, "SYSLOG_IDENTIFIER=kaprin", 0);
    if (sinceUsec)
        sd_journal_seek_realtime_usec(j, sinceUsec);
    int next;
    while ((next = sd_journal_next(j)) > 0) {
        ReportEntry e;
        e.outcome = Field(j, "KAPRIN_OUTCOME");
        if (e.outcome.empty())
            continue; // not a download's entry
        sd_journal_get_realtime_usec(j, &e.usec);
        if (e.usec < sinceUsec)
            continue;
        e.host = Field(j, "KAPRIN_HOST");
        e.station = Field(j, "KAPRIN_STATION");
        if (e.station.empty()) { // entries written before stations were named
            e.station = Field(j, "KAPRIN_DEVICE");
            e.station = e.station.substr(e.station.rfind('/') + 1);
        }
        e.code = Field(j, "KAPRIN_CODE");
        e.unit = Field(j, "KAPRIN_UNIT");
        out.push_back(std::move(e));
    }
    return next < 0 ? std::strerror(-next) : std::string();
}

} // namespace kaprin::record
