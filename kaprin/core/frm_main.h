// The main window as a model: its controls by name, its fields and its event handlers.
// Handlers are named after the control and the event (`cmdStart_Click`, `t2_Timer`);
// a front end forwards each widget event to exactly one of them and re-reads the
// state afterwards. No handler waits: a download is the run machine's (`run`), and what
// it reads and shows is the run panel's, which the main window is.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/core/run_panel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kaprin {

class FrmLanguage;
class FrmComm;
class FrmAbout;
class FrmSetting;
class FrmDevices;

class FrmMain : public RunPanel {
public:
    // `programDir` is the folder of the program (language files and help live there);
    // `commandLine` is the raw text after the program's name, split at single spaces.
    FrmMain(Ports ports, std::string programDir, std::string commandLine);
    // The words after the program's name as the system passed them: each is taken whole,
    // so a path with spaces survives; the same rules apply to them as to split words.
    FrmMain(Ports ports, std::string programDir, std::vector<std::string> commandWords);
    ~FrmMain() override;
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // ---- Controls -------------------------------------------------------------------
    std::string Caption = "K71PELV"; // window title
    Control cmdBorwse{"Borwse"};
    Control lblPort{"COM1"};
    Control sDTR{"", true, true, false, kLineLampOff};
    Control sRTS{"", true, true, false, kLineLampOff};
    std::array<Control, 5> Label1{Control{"Source File"}, Control{"DTR"}, Control{"RTS"},
                                  Control{"Delay time"}, Control{"Port"}};
    std::array<Control, 16> Shape1;
    FileDialog CD1; // the open dialog object; keeps its file name between uses
    Timer t1{100, false};
    Control Frame1{"Frame1"};
    Control Frame2{"Status"};
    Control Frame3{"", true, false};
    std::array<Control, 6> cmdStep{Control{"第一段"}, Control{"第二段"}, Control{"第三段"},
                                   Control{"第四段"}, Control{"第五段"}, Control{"第六段"}};
    Control Command4{"檔案設定"};
    TextBox txtCStatus;
    Control Label2{"目前狀態", true, true, false, Rgb{0, 0, 255}};

    // Window geometry in twips; the update-set panel changes it.
    int HeightTwips = 4530;
    int PB1TopTwips = 3480;

    // ---- Menus ----------------------------------------------------------------------
    Control mnufile{"File"};
    Control mnuLine1{"-", true, false};
    std::array<Control, 4> mnuRF{Control{"", true, false}, Control{"", true, false},
                                 Control{"", true, false}, Control{"", true, false}};
    Control mnuLine2{"-", true, false};
    Control mnuExit{"Exit"};
    Control mnuSetup{"Setup"};
    Control mnuLanguage{"Language"};
    Control mnuComm{"Communication"};
    Control mnuDevices{"Serial devices"};
    Control mnuEMode{"Engineer Mode"};
    Control mnuLogFile{"Log File..."};
    Control mnuCheck{"Check file time", false, false, true};
    Control mnuAbout{"About"};
    Control mnuAbout_{"About...."};
    Control mnuHelp{"Help"};

    // ---- Window fields --------------------------------------------------------------
    std::int16_t LampIndex = 0;
    std::array<std::string, 6> SegmentFile;

    // Modeless and modal windows that are open; the front end binds a view to each.
    std::unique_ptr<FrmLanguage> frmLanguage;
    std::unique_ptr<FrmComm> frmComm;
    std::unique_ptr<FrmAbout> frmAbout;
    std::unique_ptr<FrmSetting> frmSetting;
    std::unique_ptr<FrmDevices> frmDevices;

    // ---- Start-up and close ---------------------------------------------------------
    void Form_Load();
    void Form_Activate();

    // ---- Operations used across the utility -----------------------------------------
    void ShowEngineerPanel(bool show);

    // ---- Languages, file information, recent files, help ----------------------------
    void ApplyMainLang();
    void RefreshRecentMenu();
    void ShowHelp();

    // ---- Event handlers -------------------------------------------------------------
    void List1_Click(int index);
    void cmdBorwse_Click();
    void cmdStart_Click();
    void cmdStop_Click();
    void cboDelay_Select(int index);
    void cboDelay_Type(const std::string& text);
    void t1_Timer();
    void t2_Timer();
    // A serial device came or went: the open serial windows follow. The front ends call it
    // from a timer; it returns at once.
    void SerialWatch_Timer();
    void mnuRF_Click(int index); // 0 to 3 for mnuRF1 to mnuRF4
    void mnuExit_Click();
    void mnuLanguage_Click();
    void mnuComm_Click();
    void mnuDevices_Click();
    void mnuEMode_Click();
    // Chooses the file that every download is appended to; Cancel keeps the one in use.
    void mnuLogFile_Click();
    // The keyboard shortcut Ctrl+Shift+E: shows the hidden Engineer Mode item.
    void ShowEngineerMenu();
    void mnuDTR_Click();
    void mnuRTS_Click();
    void mnuCheck_Click();
    void mnuConvert_Click();
    void mnuQuenlar_Click();
    void mnuAutoQuenlar_Click();
    void mnuBotStart_Click();
    void mnuBotShutDown_Click();
    void mnuAbout__Click();
    void mnuHelp_Click();
    void cmdStep_Click(int index);
    void Command4_Click();
    // A modeless or modal window was closed by its frame, or by its own OK or Cancel
    // after the view was dropped: its model is destroyed here.
    void ChildWindow_Closed(WindowId id);

    // ---- Run (download, automatic mode, update sets) --------------------------------
    // The run's poll timer; the front ends deliver its ticks like t1's and t2's.
    void tRun_Timer() { run.Tick(); }
    void CheckUpdateFiles();
    bool CheckUpdateFile(int index); // true when the slot failed

    // ---- The run panel's window side -------------------------------------------------
    void SetAllLamps(Rgb colour) override;
    void ShowLineLamp(bool power, bool on) override;
    void RunChaser(bool on) override { t1.enabled = on; }
    void RecentFilesChanged() override { RefreshRecentMenu(); }
    bool EngineerMode() const override { return mnuEMode.checked; }
    std::vector<bool*> TransferLocks() override;
    void EndAfterRun() override { ports_.windows.CloseMainWindow(); }

    // ---- Access for the other windows and the front ends ----------------------------
    Ports& ports() { return ports_; }

private:
    FrmMain(Ports ports, std::string programDir, std::string commandLine,
            std::optional<std::vector<std::string>> commandWords);
    void ApplyStartupSettings();

    Ports ports_;
};

} // namespace kaprin
