// The run panel's side of a download: preparing the file (with its questions) and the
// one table from an outcome to the status text. The run itself is the run machine's.
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
    case 6:
        return TextId::NoisyLine;
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
    case RunResult::CutImage:
        return {Text, TextId::CutImage};
    case RunResult::PathTooLong:
        return {Text, TextId::PathTooLong};
    case RunResult::ConversionFailed:
        return {TextAndCode, TextId::ConversionFailed};
    case RunResult::PortUnusable:
        return {Clear, TextId::OtherError};
    case RunResult::Stopped:
        return {Text, TextId::Stopped};
    case RunResult::TransferFailed:
        return {Text, LibraryResultText(outcome.code)};
    case RunResult::Refused:  // the refusal's own text is shown
    case RunResult::NoFile:   // the status was cleared when the run began
    case RunResult::Declined: // the wait's text stays
        break;
    }
    return {Keep, TextId::OtherError};
}

void RunPanel::ShowOutcome(const DownloadOutcome& outcome) {
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
}

void FrmMain::cmdStart_Click() {
    run.Start();
}

void FrmMain::cmdStop_Click() {
    run.Stop();
}

std::optional<DownloadOutcome> RunPanel::PrepareLoad() {
    const std::string file = txtSFile.text;
    if (!FileExists(file))
        return Outcome(RunResult::FileNotFound);
    if (!ImagePathFits(file))
        return Outcome(RunResult::PathTooLong);
    if (ports_.record) {
        if (std::string why = ports_.record->AdmitImage(PortIndex(), file); !why.empty()) {
            SB1.panel1 = why;
            run.Report({RunEvent::Kind::Outcome});
            return Outcome(RunResult::Refused);
        }
    }
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
        if (FileExists(LoadFile) && IsCutPlnImage(LoadFile, 8))
            return Outcome(RunResult::CutImage);
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
            (!mnuConvert.checked || ports_.messages.AskYesNo(LangText(TextId::ConvertNewerImage))))
            refused = convert();
        addDateLine("Load:", FileInfo(LoadFile));
    } else if (!mnuConvert.checked ||
               ports_.messages.AskYesNo(LangText(TextId::ConvertWithoutPln))) {
        refused = convert();
    }
    return refused ? refused : sendable();
}

std::int16_t RunPanel::ConvertHex(const std::string& path) {
    run.Report({RunEvent::Kind::Converting, path});
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(ports_.kaldun.KALDUN(path)));
}

} // namespace kaprin
