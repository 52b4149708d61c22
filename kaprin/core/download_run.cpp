// The download operation that the manual run and the automatic step share: prepare the
// file, ask, transfer with progress, record; and the one table from its outcome to the
// status text.
#include "kaprin/core/download_run.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/core/image_check.h"
#include "kaprin/info/file_info.h"

#include <string_view>

namespace kaprin {

namespace {

// Byte offset where the last `count` characters of a UTF-8 text begin (0 when the text
// is shorter), so that a suffix is never cut inside a character.
std::size_t LastCharsOffset(std::string_view text, int count) {
    std::size_t at = text.size();
    while (count > 0 && at > 0) {
        --at;
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            --count;
    }
    return count > 0 ? 0 : at;
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

TextId LibraryResultText(std::int32_t code) {
    switch (code) {
    case 1:
        return TextId::TimeOut;
    case 2:
        return TextId::ChecksumError;
    case 3:
        return TextId::ProgramFail;
    case 4:
        return TextId::NoLink;
    case 5:
        return TextId::CannotOpen;
    default:
        return TextId::OtherError;
    }
}

DownloadOutcome Outcome(RunResult result, std::int32_t code = 0) {
    DownloadOutcome outcome;
    outcome.result = result;
    outcome.code = code;
    return outcome;
}

} // namespace

StatusText StatusTextOf(const DownloadOutcome& outcome) {
    using enum StatusText::Kind;
    switch (outcome.result) {
    case RunResult::Finished:
        return {Text, TextId::Finished};
    case RunResult::FileNotFound:
        return {Text, TextId::CannotOpen};
    case RunResult::EmptyImage:
        return {Text, TextId::EmptyImage};
    case RunResult::ConversionFailed:
        return {TextAndCode, TextId::ConversionFailed};
    case RunResult::PortUnusable:
        return {Clear, TextId::OtherError};
    case RunResult::Stopped:
        return {Text, TextId::Stopped};
    case RunResult::TransferFailed:
        return {Text, LibraryResultText(outcome.code)};
    case RunResult::NoFile:   // the status was cleared when the run began
    case RunResult::Declined: // the wait's text stays
        break;
    }
    return {Keep, TextId::OtherError};
}

void FrmMain::ShowOutcome(const DownloadOutcome& outcome) {
    const StatusText status = StatusTextOf(outcome);
    switch (status.kind) {
    case StatusText::Keep:
        break;
    case StatusText::Clear:
        SB1.panel1.clear();
        break;
    case StatusText::Text:
        SB1.panel1 = LangText(status.id);
        break;
    case StatusText::TextAndCode:
        SB1.panel1 = LangText(status.id) + " " + std::to_string(outcome.code);
        break;
    }
    if (outcome.result == RunResult::Finished)
        WaitMs(200); // the operator sees the good end before anything else happens
    if (outcome.Transferred()) {
        SB1.panel2.clear();
        PB1.value = 0;
    }
}

void FrmMain::cmdStart_Click() {
    ManualRun();
}

DownloadOutcome FrmMain::ManualRun() {
    // A disabled or hidden button is not clicked: no second run inside a running one.
    if (!cmdStart.enabled || !cmdStart.visible)
        return Outcome(RunResult::Stopped);
    ClearStatus();
    if (txtSFile.text.empty())
        return Outcome(RunResult::NoFile);
    cmdStart.enabled = false;
    cmdStop.enabled = true;
    // The automatic mode's probes would use the port while this run holds it.
    mnuAutoQuenlar.enabled = false;
    struct ReleaseAutoMenu {
        Control& item;
        ~ReleaseAutoMenu() { item.enabled = true; }
    } release{mnuAutoQuenlar};

    if (mnuDTR.checked) {
        SetPowerLine(false);
        SetPowerLine(true);
    }
    WaitMs(cboDelay.listIndex * 1000);
    if (mnuRTS.checked) {
        SetBootLine(false);
        SetBootLine(true);
    }

    // Wait for the device; Stop ends the wait at the next check.
    for (;;) {
        SB1.panel1 = LangText(TextId::WaitingForDevice);
        const std::int16_t r = static_cast<std::int16_t>(ports_.pellin.CheckZ());
        if (r == 1)
            break;
        if (r == -1) {
            cmdStop.enabled = false;
            ShowOutcome(Outcome(RunResult::PortUnusable));
            cmdStart.enabled = true;
        }
        DoEvents();
        if (!cmdStop.enabled)
            return Outcome(r == -1 ? RunResult::PortUnusable : RunResult::Stopped);
    }

    // The device is ready.
    cmdStop.enabled = false;
    ports_.pellin.BootStart(mnuBotStart.checked);
    ports_.pellin.BootShutDown(mnuBotShutDown.checked);
    const DownloadOutcome outcome = Download(true);
    ShowOutcome(outcome);
    if (outcome.result == RunResult::Declined) {
        // Lamps and line flags stay as they are.
        cmdStart.enabled = true;
        ShowFileTimes(txtSFile.text);
        return outcome;
    }
    if (outcome.Transferred()) {
        AddRecentFile(txtSFile.text);
        SetPowerLine(false);
        SetBootLine(false);
    }
    t1.enabled = false;
    SetAllLamps(kChaserPassed);
    cmdStart.enabled = true;
    ShowFileTimes(txtSFile.text);
    return outcome;
}

void FrmMain::cmdStop_Click() {
    if (!cmdStop.enabled)
        return;
    cmdStart.enabled = true;
    cmdStop.enabled = false;
    ShowOutcome(Outcome(RunResult::Stopped));
}

DownloadOutcome FrmMain::Download(bool askBeforeTransfer) {
    if (auto refused = PrepareLoad())
        return *refused;
    if (askBeforeTransfer && mnuQuenlar.checked &&
        !ports_.windows.AskYesNo(LangText(TextId::StartTransfer)))
        return Outcome(RunResult::Declined);
    t1.enabled = true;
    return RunDownload();
}

std::optional<DownloadOutcome> FrmMain::PrepareLoad() {
    const std::string file = txtSFile.text;
    if (!FileExists(file))
        return Outcome(RunResult::FileNotFound);
    if (optFont.checked) {
        LoadFile = file;
        return std::nullopt;
    }
    const std::size_t suffixAt = LastCharsOffset(file, 3);
    const std::string kind = UpperAscii(file.substr(suffixAt));
    const std::string base = file.substr(0, suffixAt);

    auto addDateLine = [this](const char* prefix, const FileDate& date) {
        List1.items.push_back(prefix + FormatFileDate(date) + " " + FormatFileTime(date));
    };
    // A cut-short HEX image is not converted, and an empty PLN file is not sent.
    auto convert = [&]() -> std::optional<DownloadOutcome> {
        if (!HasHexEndRecord(file))
            return Outcome(RunResult::EmptyImage);
        if (const std::int16_t result = ConvertHex(file))
            return Outcome(RunResult::ConversionFailed, result);
        return std::nullopt;
    };
    auto sendable = [this]() -> std::optional<DownloadOutcome> {
        // A PLN file that is not there is left to the library, which reports it.
        if (FileExists(LoadFile) && !HasDataRecords(LoadFile))
            return Outcome(RunResult::EmptyImage);
        return std::nullopt;
    };

    List1.items.clear();
    List1.listIndex = -1;
    if (kind == "PLN") {
        LoadFile = file;
        addDateLine("PLN:", FileInfo(LoadFile));
        return sendable();
    }

    const FileDate imageDate = FileInfo(file);
    addDateLine("HEX:", imageDate);
    LoadFile = base + "PLN";
    std::optional<DownloadOutcome> refused;
    if (FileExists(LoadFile)) {
        const FileDate plnDate = FileInfo(LoadFile);
        addDateLine("PLN:", plnDate);
        if (imageDate > plnDate &&
            (!mnuConvert.checked || ports_.windows.AskYesNo(LangText(TextId::ConvertNewerImage))))
            refused = convert();
        addDateLine("Load:", FileInfo(LoadFile));
    } else if (!mnuConvert.checked ||
               ports_.windows.AskYesNo(LangText(TextId::ConvertWithoutPln))) {
        refused = convert();
    }
    return refused ? refused : sendable();
}

std::int16_t FrmMain::ConvertHex(const std::string& path) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(ports_.kaldun.KALDUN(path)));
}

DownloadOutcome FrmMain::RunDownload() {
    auto& pellin = ports_.pellin;
    DownloadRecord record;
    record.portIndex = line_.choice().index();
    record.image = LoadFile;
    if (ports_.record)
        record.imageSha256 = ports_.record->ImageDigest(LoadFile);
    const std::uint32_t started = ports_.clock.TickCount();
    if (optFont.checked)
        pellin.FontLoad(LoadFile);
    else
        pellin.BotLoad(LoadFile);

    auto poll16 = [](std::int32_t value) { return static_cast<std::int16_t>(value); };
    std::int16_t block = poll16(pellin.getBlock());
    std::int16_t error = poll16(pellin.getError());
    std::int16_t percent = poll16(pellin.getPercent());
    auto writeRecord = [&](RecordOutcome how) {
        record.outcome = how;
        record.code = how == RecordOutcome::Failed ? error : 0;
        record.blocks = block;
        record.durationMs = ports_.clock.TickCount() - started;
        if (ports_.record)
            ports_.record->Write(record);
    };
    try {
        for (;;) {
            if (percent == 100) {
                // The library publishes its code before the final percent: read it once
                // more so that a job that failed at its very end is not reported as
                // finished. (A code already read is not read again: reading clears it.)
                if (error == 0)
                    error = poll16(pellin.getError());
                break;
            }
            if (error != 0)
                break;
            percent = poll16(pellin.getPercent());
            block = poll16(pellin.getBlock());
            error = poll16(pellin.getError());
            if (percent > 100)
                percent = 100;
            if (percent < 0)
                percent = 0;
            PB1.value = percent;
            SB1.panel1 = LangText(TextId::BlockBefore) + " " + std::to_string(block) + " " +
                         LangText(TextId::BlockAfter);
            SB1.panel2 = std::to_string(percent) + "%";
            DoEvents();
        }
    } catch (...) {
        // The program is closing under a running transfer: record it as interrupted.
        writeRecord(RecordOutcome::Interrupted);
        throw;
    }
    writeRecord(error == 0 ? RecordOutcome::Ok : RecordOutcome::Failed);

    DownloadOutcome outcome =
        Outcome(error == 0 ? RunResult::Finished : RunResult::TransferFailed, error);
    outcome.blocks = block;
    outcome.percent = percent;
    outcome.durationMs = record.durationMs;
    return outcome;
}

} // namespace kaprin
