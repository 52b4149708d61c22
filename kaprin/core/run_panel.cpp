#include "kaprin/core/run_panel.h"

#include "kaprin/info/file_info.h"

namespace kaprin {

RunPanel::RunPanel(RunPorts ports, std::string programDir, std::string commandLine,
                   std::optional<std::vector<std::string>> commandWords)
    : line_(ports.pellin, ports.serial), settings_(ports.settings, ports.messages),
      ports_(RunPorts{ports.messages, ports.clock, settings_, line_, ports.kaldun, ports.record,
                      line_.serial()}),
      programDir_(std::move(programDir)), commandLine_(std::move(commandLine)),
      commandWords_(std::move(commandWords)) {
    cboDelay.entries = {"0 Sec", "1 Sec", "2 Sec", "3 Sec", "4 Sec", "5 Sec"};
    cboDelay.Select(0);
}

RunPanel::~RunPanel() = default;

void RunPanel::SetPowerLine(bool on) {
    ports_.pellin.PowerOn(on);
    ShowLineLamp(true, on);
}

void RunPanel::SetBootLine(bool on) {
    ports_.pellin.BootOn(on);
    ShowLineLamp(false, on);
}

void RunPanel::ClearStatus() {
    SB1.panel1.clear();
    SB1.panel2.clear();
    SetAllLamps(kChaserIdle);
}

void RunPanel::SetSFile(const std::string& text) {
    // Like a text box, the change handling runs only when the text really changes.
    if (txtSFile.text == text)
        return;
    txtSFile.text = text;
    txtSFile_Change();
}

void RunPanel::txtSFile_Change() {
    ShowFileTimes(txtSFile.text);
    List1.tooltip.clear();
}

void RunPanel::ShowFileTimes(const std::string& path) {
    kaprin::ShowFileTimes(List1, langTable, path);
}

std::vector<bool*> RunPanel::TransferLocks() {
    return {&txtSFile.enabled, &optFont.enabled};
}

} // namespace kaprin
