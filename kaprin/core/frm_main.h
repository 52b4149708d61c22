// The main window as a model: its controls by name, its fields and its event handlers.
// Handlers are named after the control and the event (`cmdStart_Click`, `t2_Timer`);
// a front end forwards each widget event to exactly one of them and re-reads the
// state afterwards. No handler waits: a download is the run machine's (`run`).
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/core/command_line.h"
#include "kaprin/core/download_run.h"
#include "kaprin/core/run_machine.h"
#include "kaprin/core/warning_store.h"
#include "kaprin/prefs/language.h"
#include "kaprin/prefs/serial_line.h"

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

class FrmMain {
public:
    // `programDir` is the folder of the program (language files and help live there);
    // `commandLine` is the raw text after the program's name, split at single spaces.
    FrmMain(Ports ports, std::string programDir, std::string commandLine);
    // The words after the program's name as the system passed them: each is taken whole,
    // so a path with spaces survives; the same rules apply to them as to split words.
    FrmMain(Ports ports, std::string programDir, std::vector<std::string> commandWords);
    ~FrmMain();
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // ---- Controls -------------------------------------------------------------------
    std::string Caption = "K71PELV"; // window title
    TextBox txtSFile;
    Control cmdBorwse{"Borwse"};
    Control optFont{"Font Load", true, false};
    Control cmdStart{"Start"};
    Control cmdStop{"Stop", false};
    ComboBox cboDelay;
    Control lblPort{"COM1"};
    Control sDTR{"", true, true, false, kLineLampOff};
    Control sRTS{"", true, true, false, kLineLampOff};
    std::array<Control, 5> Label1{Control{"Source File"}, Control{"DTR"}, Control{"RTS"},
                                  Control{"Delay time"}, Control{"Port"}};
    ListBox List1;
    std::array<Control, 16> Shape1;
    ProgressBar PB1;
    StatusBar SB1;
    FileDialog CD1; // the open dialog object; keeps its file name between uses
    Timer t1{100, false};
    Timer t2{20, false};
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
    Control mnuDTR{"DTR(Power On)", true, true, true};
    Control mnuRTS{"RTS(Boot Mode)", true, true, true};
    Control mnuCheck{"Check file time", false, false, true};
    Control mnuConvert{"Convert prompt", true, true, true};
    Control mnuQuenlar{"Quenlar Prompt", true, true, true};
    Control mnuAutoQuenlar{"Auto Quenlar"};
    Control mnuBotStart{"After Quenlar Start"};
    Control mnuBotShutDown{"After Quenlar Shut Down"};
    Control mnuAbout{"About"};
    Control mnuAbout_{"About...."};
    Control mnuHelp{"Help"};

    // ---- Window fields --------------------------------------------------------------
    std::string LoadFile;
    std::int16_t LampIndex = 0;
    std::int16_t AutoFailCount = 0;
    // Why the automatic mode switched itself off (the port cannot be used); nothing while
    // it is on or was switched off from the menu.
    std::optional<RunResult> AutoEndedBy;
    std::array<std::string, 6> SegmentFile;
    Module1 module1;
    LangTable langTable; // the language texts, for the life of the program

    // Modeless and modal windows that are open; the front end binds a view to each.
    std::unique_ptr<FrmLanguage> frmLanguage;
    std::unique_ptr<FrmComm> frmComm;
    std::unique_ptr<FrmAbout> frmAbout;
    std::unique_ptr<FrmSetting> frmSetting;
    std::unique_ptr<FrmDevices> frmDevices;

    // ---- Start-up and close ---------------------------------------------------------
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    // The command-line action of the first activation, all but the automatic mode's
    // switch: true when "-A" or "-C" asks Form_Activate to switch the mode on.
    bool RunCommandLineAction();

    // ---- Operations used across the utility -----------------------------------------
    void SetPowerLine(bool on);
    void SetBootLine(bool on);
    void ClearStatus();
    void ShowEngineerPanel(bool show);
    // Puts a text into the file box and runs its change handling, as the program does.
    void SetSFile(const std::string& text);

    // ---- Languages, file information, recent files, help ----------------------------
    // The text of a numbered entry of the loaded language file; empty when undefined.
    std::string LangText(std::int16_t id) const { return langTable.Text(id); }
    std::string LangText(TextId id) const { return LangText(static_cast<std::int16_t>(id)); }
    // Loads a language file, or the folder's English.ini when it cannot be read.
    void LoadLangFile(const std::string& path);
    void ApplyMainLang();
    // The folder of the language files beside the program (its name in any letter case).
    std::string LanguageFolder() const;
    void ShowFileTimes(const std::string& path);
    void RefreshRecentMenu();
    void AddRecentFile(const std::string& path);
    void ShiftRecentFiles();
    void ShowHelp();

    // ---- Event handlers -------------------------------------------------------------
    void txtSFile_Change(); // after the person edited txtSFile.text
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
    // Nothing when `LoadFile` is ready to send; otherwise why the run ends.
    std::optional<DownloadOutcome> PrepareLoad();
    std::int16_t ConvertHex(const std::string& path);
    // The outcome's text on the status bar, through the one table of texts.
    void ShowOutcome(const DownloadOutcome& outcome);
    void CheckUpdateFiles();
    bool CheckUpdateFile(int index); // true when the slot failed

    // ---- Access for the other windows and the front ends ----------------------------
    Ports& ports() { return ports_; }
    // The port index (0 is COM1) and rate last handed to the library.
    std::int32_t PortIndex() const { return line_.choice().index(); }
    std::int32_t BaudRate() const { return line_.choice().baud; }
    // The serial line every port call of the model goes through.
    SerialLine& serialLine() { return line_; }
    const std::string& programDir() const { return programDir_; }
    const std::string& commandLine() const { return commandLine_; }

    // Owns a download under way; declared after the controls it drives.
    RunMachine run{*this};

private:
    friend class RunMachine;
    void SplitCommandLine();
    void ParseCommandOptions();
    void ApplyStartupSettings();
    void SetAllLamps(Rgb colour);

    SerialLine line_;
    WarningStore settings_; // before ports_, which hands it to the whole model
    Ports ports_;
    std::string programDir_;
    std::string commandLine_;
    std::optional<std::vector<std::string>> commandWords_;
    bool commandLineDone_ = false; // the command-line action runs at the first activation
};

} // namespace kaprin
