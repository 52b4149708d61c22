#include "kaprin/cli/station_service.h"

#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/service_notify.h"
#include "kaprin/core/run_panel.h"
#include "kaprin/prefs/device_texts.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kaprin::cli {

ServiceMessages SystemdMessages() {
    return {NotifyReady, NotifyStatus, NotifyStoppingExtended};
}

void StationService::Say(std::string status) {
    std::string counts;
    if (good_ + failed_ > 0)
        counts = "; " + std::to_string(good_ + failed_) + " download(s): " + std::to_string(good_) +
                 " good, " + std::to_string(failed_) + " failed";
    if (!last_.empty())
        status += "; last " + last_;
    status += counts;
    if (const int lost = unwrittenRecords ? unwrittenRecords() : 0; lost > 0)
        status += "; " + std::to_string(lost) + " record(s) not written to the log file";
    if (status == status_)
        return;
    status_ = status;
    if (messages_.status)
        messages_.status(status_);
}

void StationService::OnReady(const std::string& portName) {
    port_ = portName;
    status_ = "waiting for a device on " + port_;
    if (messages_.ready)
        messages_.ready(status_);
}

void StationService::OnTransferStart() {
    transferring_ = true;
    percent_ = -1;
    OnProgress(0);
    if (stopping_)
        Extend();
}

void StationService::OnProgress(int percent) {
    if (!transferring_)
        return;
    if (stopping_ && nowMs_() - extendedAt_ >= kExtendMs / 2)
        Extend();
    // One line a second at most: the journal keeps each, and systemd reads them while busy.
    if (percent == percent_ || (percent_ >= 0 && nowMs_() - saidAt_ < kStatusMs))
        return;
    percent_ = percent;
    saidAt_ = nowMs_();
    Say((stopping_ ? "stopping after the download, " : "downloading ") + std::to_string(percent) +
        " % on " + port_);
}

void StationService::OnOutcome(const DownloadRecord& record) {
    transferring_ = false;
    const bool good = record.outcome == RecordOutcome::Ok;
    (good ? good_ : failed_)++;
    last_ = good ? "ok"
            : record.outcome == RecordOutcome::Interrupted
                ? "interrupted"
                : "failed, code " + std::to_string(record.code);
    Say(stopping_ ? "stopping" : "waiting for a device on " + port_);
}

void StationService::OnStopRequest() {
    if (stopping_)
        return;
    stopping_ = true;
    if (transferring_) {
        status_ = "stopping after the download, " + std::to_string(percent_) + " % on " + port_;
        Extend();
    } else if (messages_.stopping) {
        messages_.stopping(0, "stopping");
    }
}

void StationService::OnHold(const std::string& shown) {
    if (shown.empty() && !held_)
        return;
    held_ = !shown.empty();
    if (stopping_)
        return;
    std::string why = shown;
    if (!why.empty() && why.back() == '.')
        why.pop_back(); // the counts follow after a semicolon
    Say(held_ ? "image failed on " + port_ + ": " + why : "waiting for a device on " + port_);
}

void StationService::Extend() {
    extendedAt_ = nowMs_();
    if (messages_.stopping)
        messages_.stopping(std::uint64_t{kExtendMs} * 1000, status_);
}

std::string StationPortProblem(const PortState& state, const LangTable& table) {
    if (state.condition == PortCondition::Missing)
        return state.device + " does not exist. Is the adapter plugged in? kaprin-cli " +
               "--list-ports shows the devices found.";
    return PortProblemText(state, table);
}

namespace {

std::string ConversionReason(int code, const std::string& image) {
    switch (code) {
    case 1:
        return "the companion .HE0 file of the .HEC image cannot be opened";
    case 4: {
        const std::size_t slash = image.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : image.substr(0, slash + 1);
        if (access(folder.c_str(), W_OK) != 0)
            return "the PLN file cannot be written beside the image: " + folder + ": " +
                   std::strerror(errno);
        return "the PLN file cannot be created or written beside the image";
    }
    case 5:
        return "the image cannot be opened or read, or is not a regular file";
    case 6:
        return "a temporary bank file cannot be written (TMPDIR)";
    case 7:
        return "a line of the image does not decode, or a data record runs past FFFF";
    case 8:
        return "an extended address record names a page that cannot be placed";
    }
    return "unknown result";
}

} // namespace

std::string ConversionFailure(const std::string& image, int code) {
    return "the conversion of " + image + " failed with result " + std::to_string(code) + ": " +
           ConversionReason(code, image);
}

int NotSentStatus(const DownloadOutcome& outcome, const RunPanel& panel, std::string& why) {
    const std::string& file = panel.txtSFile.text;
    switch (outcome.result) {
    case RunResult::NoFile:
        why = "no file to download: give -F=FILE";
        return kExitNoFile;
    case RunResult::ConversionFailed:
        why = ConversionFailure(file, outcome.code);
        return kExitConversionFailed;
    case RunResult::FileNotFound:
        why = "file not found: " + file;
        return kExitFileNotFound;
    case RunResult::EmptyImage:
        why = "nothing to send: " + panel.LoadFile +
              " holds no data records, or the HEX image has no end-of-file record";
        return kExitEmptyImage;
    case RunResult::CutImage:
        why = "nothing sent: " + panel.LoadFile + " is cut short or damaged";
        return kExitEmptyImage;
    case RunResult::PathTooLong:
        why = "nothing sent: the path of " + file + " is longer than 259 bytes";
        return kExitFileNotFound;
    case RunResult::Stopped:
        why = "stopped before the download";
        return kExitInterrupted;
    case RunResult::Refused:
        why = "refused: " + panel.SB1.panel1;
        return kExitRefused;
    case RunResult::Finished:
    case RunResult::TransferFailed:
    case RunResult::PortUnusable:
    case RunResult::Declined:
        break;
    }
    why = "the download was declined";
    return kExitDeclined;
}

int CheckStationImage(RunPanel& frm, std::string& why) {
    const std::string& image = frm.txtSFile.text;
    if (image.empty()) {
        why = "no image: set KAPRIN_IMAGE, or give -F=FILE";
        return kExitNoFile;
    }
    const std::optional<DownloadOutcome> refused = frm.PrepareLoad();
    if (!refused)
        return kExitOk;
    switch (refused->result) {
    case RunResult::FileNotFound: // a station's image is its configuration: not restarted
        why = "image not found: " + image;
        return kExitNoFile;
    case RunResult::ConversionFailed:
    case RunResult::EmptyImage:
    case RunResult::CutImage:
    case RunResult::Refused:
        return NotSentStatus(*refused, frm, why);
    default:
        why = "the image " + image + " cannot be used";
        return kExitConversionFailed;
    }
}

} // namespace kaprin::cli
