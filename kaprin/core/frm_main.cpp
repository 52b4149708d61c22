#include "kaprin/core/frm_main.h"

#include "kaprin/info/file_info.h"
#include "kaprin/info/frm_about.h"
#include "kaprin/prefs/frm_comm.h"
#include "kaprin/prefs/frm_devices.h"
#include "kaprin/prefs/frm_language.h"
#include "kaprin/updateset/frm_setting.h"

namespace kaprin {

FrmMain::FrmMain(Ports ports, std::string programDir, std::vector<std::string> commandWords)
    : FrmMain(ports, std::move(programDir), std::string(), std::move(commandWords)) {}

FrmMain::FrmMain(Ports ports, std::string programDir, std::string commandLine)
    : FrmMain(ports, std::move(programDir), std::move(commandLine), std::nullopt) {}

FrmMain::FrmMain(Ports ports, std::string programDir, std::string commandLine,
                 std::optional<std::vector<std::string>> commandWords)
    : RunPanel(ports.run(), std::move(programDir), std::move(commandLine), std::move(commandWords)),
      ports_(Ports{ports.windows, ports.clock, RunPanel::ports().settings, serialLine(),
                   ports.kaldun, ports.record, serialLine().serial()}) {
    // The row looks the same before the first run as after ClearStatus.
    for (auto& lamp : Shape1)
        lamp = Control{"", true, true, false, kChaserIdle};
}

// Out of line: the other windows' models are complete types only here.
FrmMain::~FrmMain() = default;

void FrmMain::ShowLineLamp(bool power, bool on) {
    (power ? sDTR : sRTS).colour = on ? kLineLampOn : kLineLampOff;
}

void FrmMain::SetAllLamps(Rgb colour) {
    for (auto& lamp : Shape1)
        lamp.colour = colour;
}

std::vector<bool*> FrmMain::TransferLocks() {
    std::vector<bool*> flags = RunPanel::TransferLocks();
    for (bool* flag : {&cmdBorwse.enabled, &Command4.enabled, &mnuComm.enabled, &mnuDevices.enabled,
                       &mnuLogFile.enabled})
        flags.push_back(flag);
    for (auto& item : mnuRF)
        flags.push_back(&item.enabled);
    for (auto& step : cmdStep)
        flags.push_back(&step.enabled);
    return flags;
}

void FrmMain::ShowEngineerPanel(bool show) {
    Frame3.visible = show;
    HeightTwips = show ? 5565 : 4530;
    PB1TopTwips = show ? 4525 : 3480;
}

void FrmMain::List1_Click(int index) {
    if (index < 0 || index >= static_cast<int>(List1.items.size()))
        return;
    List1.listIndex = index;
    List1.tooltip = List1.items[static_cast<std::size_t>(index)];
}

void FrmMain::cmdBorwse_Click() {
    if (!cmdBorwse.enabled)
        return;
    ClearStatus();
    CD1.filter = "PLN File|*.PLN|HEX File|*.HEX;*.H00;*.HEC";
    // The chooser opens in the folder of the current file.
    const auto slash = txtSFile.text.rfind('/');
    CD1.initialDir = slash == std::string::npos ? std::string() : txtSFile.text.substr(0, slash);
    if (slash == 0)
        CD1.initialDir = "/";
    if (auto chosen = ports_.windows.ChooseOpenFile(CD1))
        CD1.fileName = *chosen;
    // The dialog object keeps its last name, so a cancel offers that name again.
    if (!CD1.fileName.empty())
        SetSFile(CD1.fileName);
}

void FrmMain::cboDelay_Select(int index) {
    cboDelay.Select(index);
}

void FrmMain::cboDelay_Type(const std::string& text) {
    cboDelay.Type(text);
}

void FrmMain::t1_Timer() {
    if (LampIndex < 0 || LampIndex > 15)
        LampIndex = 0;
    const int previous = LampIndex == 0 ? 15 : LampIndex - 1;
    Shape1[static_cast<std::size_t>(LampIndex)].colour = kChaserLit;
    Shape1[static_cast<std::size_t>(previous)].colour = kChaserPassed;
    LampIndex = static_cast<std::int16_t>(LampIndex + 1 > 15 ? 0 : LampIndex + 1);
}

void FrmMain::mnuExit_Click() {
    // The front end closes the window and runs Form_QueryUnload on the way.
    ports_.windows.CloseMainWindow();
}

void FrmMain::ChildWindow_Closed(WindowId id) {
    switch (id) {
    case WindowId::frmLanguage:
        frmLanguage.reset();
        break;
    case WindowId::frmComm:
        frmComm.reset();
        break;
    case WindowId::frmAbout:
        frmAbout.reset();
        break;
    case WindowId::frmDevices:
        frmDevices.reset();
        break;
    case WindowId::frmSetting:
        // Modal: the call that showed it returns and tidies up.
        break;
    }
}

void FrmMain::mnuAutoQuenlar_Click() {
    run.ToggleAuto();
}

void FrmMain::t2_Timer() {
    run.Look();
}

void FrmMain::Form_Activate() {
    if (RunCommandLineAction())
        mnuAutoQuenlar_Click(); // with the mode off, this switches it on
}

void FrmMain::mnuComm_Click() {
    if (!mnuComm.enabled)
        return;
    if (!frmComm) {
        frmComm = std::make_unique<FrmComm>(
            ports_, CommHost{lblPort, langTable, [this] { ChildWindow_Closed(WindowId::frmComm); },
                             [this] { mnuDevices_Click(); }});
        frmComm->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmComm);
}

void FrmMain::mnuDevices_Click() {
    if (!mnuDevices.enabled)
        return;
    if (!ports_.serial)
        return;
    if (!frmDevices) {
        frmDevices = std::make_unique<FrmDevices>(
            ports_, *ports_.serial, langTable, [this] { ChildWindow_Closed(WindowId::frmDevices); },
            [this] {
                if (frmComm)
                    frmComm->ShowDevice();
            });
        frmDevices->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmDevices);
}

void FrmMain::SerialWatch_Timer() {
    if (!ports_.serial || !ports_.serial->DevicesChanged())
        return;
    if (frmDevices)
        frmDevices->DevicesChanged();
    if (frmComm)
        frmComm->ShowDevice();
}

void FrmMain::mnuAbout__Click() {
    if (!frmAbout) {
        frmAbout = std::make_unique<FrmAbout>(ports_.windows,
                                              [this] { ChildWindow_Closed(WindowId::frmAbout); });
        frmAbout->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmAbout);
}

void FrmMain::ShowHelp() {
    // The help page beside the program, in the desktop's browser. A missing page does
    // nothing, and so does a failure of the browser (the front end ignores it).
    const std::string path = programDir() + "/Pelhelp.html";
    if (FileExists(path))
        ports_.windows.OpenHelp(path);
}

void FrmMain::mnuHelp_Click() {
    ShowHelp();
}

} // namespace kaprin
