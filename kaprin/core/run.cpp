// The manual download run, the preparation of the file and the transfer with its progress.
#include "kaprin/core/frm_main.h"

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

int ResultTextId(std::int16_t error) {
    switch (error) {
    case 1:
        return 1311; // time-out
    case 2:
        return 1306; // checksum error
    case 3:
        return 1312; // program fail
    case 4:
        return 1313; // no link with the device
    case 5:
        return 1314; // file cannot be opened
    default:
        return 1315;
    }
}

} // namespace

void FrmMain::cmdStart_Click() {
    // A disabled or hidden button is not clicked: no second run inside a running one.
    if (!cmdStart.enabled || !cmdStart.visible)
        return;
    ClearStatus();
    if (txtSFile.text.empty())
        return;
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
        SB1.panel1 = LangText(1325);
        const std::int16_t r = static_cast<std::int16_t>(ports_.pellin.CheckZ());
        if (r == 1)
            break;
        if (r == -1) {
            cmdStop.enabled = false;
            SB1.panel1.clear();
            cmdStart.enabled = true;
        }
        DoEvents();
        if (!cmdStop.enabled)
            return;
    }

    // The device is ready.
    cmdStop.enabled = false;
    ports_.pellin.BootStart(mnuBotStart.checked);
    ports_.pellin.BootShutDown(mnuBotShutDown.checked);
    if (PrepareLoad() == 0) {
        if (mnuQuenlar.checked && !ports_.windows.AskYesNo(LangText(1304))) {
            cmdStart.enabled = true;
            ShowFileTimes(txtSFile.text);
            return;
        }
        t1.enabled = true;
        RunDownload();
        AddRecentFile(txtSFile.text);
        SetPowerLine(false);
        SetBootLine(false);
    }
    t1.enabled = false;
    SetAllLamps(kChaserPassed);
    cmdStart.enabled = true;
    ShowFileTimes(txtSFile.text);
}

void FrmMain::cmdStop_Click() {
    if (!cmdStop.enabled)
        return;
    cmdStart.enabled = true;
    cmdStop.enabled = false;
    SB1.panel1 = LangText(1326);
}

std::int16_t FrmMain::PrepareLoad() {
    const std::string file = txtSFile.text;
    if (!FileExists(file)) {
        SB1.panel1 = LangText(1314);
        return 1;
    }
    if (optFont.checked) {
        LoadFile = file;
        return 0;
    }
    const std::size_t suffixAt = LastCharsOffset(file, 3);
    const std::string kind = UpperAscii(file.substr(suffixAt));
    const std::string base = file.substr(0, suffixAt);

    auto addDateLine = [this](const char* prefix, const FileDate& date) {
        List1.items.push_back(prefix + FormatFileDate(date) + " " + FormatFileTime(date));
    };

    std::int16_t result = 0;
    List1.items.clear();
    List1.listIndex = -1;
    if (kind == "PLN") {
        LoadFile = file;
        addDateLine("PLN:", FileInfo(LoadFile));
        return 0;
    }

    const FileDate imageDate = FileInfo(file);
    addDateLine("HEX:", imageDate);
    LoadFile = base + "PLN";
    if (FileExists(LoadFile)) {
        const FileDate plnDate = FileInfo(LoadFile);
        addDateLine("PLN:", plnDate);
        if (imageDate > plnDate) {
            if (!mnuConvert.checked || ports_.windows.AskYesNo(LangText(1300)))
                result = ConvertHex(file);
        }
        addDateLine("Load:", FileInfo(LoadFile));
    } else if (!mnuConvert.checked || ports_.windows.AskYesNo(LangText(1302))) {
        result = ConvertHex(file);
    }
    // A failed conversion ends the run; the text names the converter's code.
    if (result != 0)
        SB1.panel1 = LangText(1316) + " " + std::to_string(result);
    return result;
}

std::int16_t FrmMain::ConvertHex(const std::string& path) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(ports_.kaldun.KALDUN(path)));
}

bool FrmMain::RunDownload() {
    auto& pellin = ports_.pellin;
    if (optFont.checked)
        pellin.FontLoad(LoadFile);
    else
        pellin.BotLoad(LoadFile);

    auto poll16 = [](std::int32_t value) { return static_cast<std::int16_t>(value); };
    std::int16_t block = poll16(pellin.getBlock());
    std::int16_t error = poll16(pellin.getError());
    std::int16_t percent = poll16(pellin.getPercent());
    for (;;) {
        if (percent == 100) {
            // The library publishes its code before the final percent: read it once more
            // so that a job that failed at its very end is not reported as finished.
            // (A code already read is not read again: reading clears it.)
            if (error == 0)
                error = poll16(pellin.getError());
            if (error != 0)
                SB1.panel1 = LangText(ResultTextId(error));
            break;
        }
        if (error != 0) {
            SB1.panel1 = LangText(ResultTextId(error));
            break;
        }
        percent = poll16(pellin.getPercent());
        block = poll16(pellin.getBlock());
        error = poll16(pellin.getError());
        if (percent > 100)
            percent = 100;
        if (percent < 0)
            percent = 0;
        PB1.value = percent;
        SB1.panel1 = LangText(1317) + " " + std::to_string(block) + " " + LangText(1318);
        SB1.panel2 = std::to_string(percent) + "%";
        DoEvents();
    }

    bool finished = false;
    if (error == 0) {
        SB1.panel1 = LangText(1319);
        WaitMs(200);
        finished = true;
    }
    SB1.panel2.clear();
    PB1.value = 0;
    return finished;
}

} // namespace kaprin
