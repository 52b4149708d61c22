#include "kaprin/record/download_log.h"

#include "kaprin/base/port_choice.h"

// No CODE_FILE, CODE_LINE and CODE_FUNC fields: they would name this file, not a download.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <sys/syslog.h>

namespace kaprin::record {

bool SendToJournal(const StampedRecord& s) {
    const DownloadRecord& r = s.record;
    const std::string port = ComName(r.portIndex + 1);
    const char* outcome = OutcomeWord(r.outcome);
    const std::string message = "download " + OutcomeText(r) + ": " + r.image + " on " + port +
                                " (" + s.device + "), " + std::to_string(r.blocks) + " blocks in " +
                                std::to_string(r.durationMs) + " ms";
    const int priority = r.outcome == RecordOutcome::Ok ? LOG_INFO : LOG_WARNING;
    const std::string code = r.outcome == RecordOutcome::Interrupted ? "" : std::to_string(r.code);
    return sd_journal_send(
               "MESSAGE=%s", message.c_str(), "PRIORITY=%d", priority, "SYSLOG_IDENTIFIER=kaprin",
               "KAPRIN_HOST=%s", s.host.c_str(), "KAPRIN_PORT=%s", port.c_str(), "KAPRIN_DEVICE=%s",
               s.device.c_str(), "KAPRIN_IMAGE=%s", r.image.c_str(), "KAPRIN_IMAGE_SHA256=%s",
               r.imageSha256.c_str(), "KAPRIN_OUTCOME=%s", outcome, "KAPRIN_CODE=%s", code.c_str(),
               "KAPRIN_BLOCKS=%d", static_cast<int>(r.blocks), "KAPRIN_DURATION_MS=%u",
               static_cast<unsigned>(r.durationMs), nullptr) >= 0;
}

} // namespace kaprin::record
