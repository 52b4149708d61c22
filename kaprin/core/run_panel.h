// What a download reads and shows, and the rules that go with them, whichever front end
// shows it: the image file, the port, the delay and the option switches the run reads;
// the status texts, percent, Start and Stop, the automatic mode's switch and the outcome
// it writes. The main window's model is one panel, its controls keeping their names; the
// station's model on a terminal is another, with no window behind it.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/core/command_line.h"
#include "kaprin/core/download_run.h"
#include "kaprin/core/run_machine.h"
#include "kaprin/core/warning_store.h"
#include "kaprin/prefs/language.h"
#include "kaprin/prefs/serial_line.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaprin {

class RunPanel {
public:
    // `programDir` is the folder of the program (the language files live there); the
    // command line is either the raw text after the program's name, split at single
    // spaces, or the words as the system passed them, each taken whole.
    RunPanel(RunPorts ports, std::string programDir, std::string commandLine,
             std::optional<std::vector<std::string>> commandWords = std::nullopt);
    virtual ~RunPanel();
    RunPanel(const RunPanel&) = delete;
    RunPanel& operator=(const RunPanel&) = delete;

    // ---- What the run reads -----------------------------------------------------------
    TextBox txtSFile;
    Control optFont{"Font Load", true, false};
    ComboBox cboDelay;
    Control mnuDTR{"DTR(Power On)", true, true, true};
    Control mnuRTS{"RTS(Boot Mode)", true, true, true};
    Control mnuConvert{"Convert prompt", true, true, true};
    Control mnuQuenlar{"Quenlar Prompt", true, true, true};
    Control mnuBotStart{"After Quenlar Start"};
    Control mnuBotShutDown{"After Quenlar Shut Down"};
    Module1 module1;
    LangTable langTable; // the language texts, for the life of the program

    // ---- What the run shows and switches ----------------------------------------------
    Control cmdStart{"Start"};
    Control cmdStop{"Stop", false};
    Control mnuAutoQuenlar{"Auto Quenlar"};
    Timer t2{20, false}; // the automatic mode looks for a device
    ListBox List1;       // the image's file times
    ProgressBar PB1;
    StatusBar SB1;
    std::string LoadFile; // the PLN file the run sends
    std::int16_t AutoFailCount = 0;
    // Why the automatic mode switched itself off (the port cannot be used, the image was
    // refused); nothing while it is on or was switched off by hand.
    std::optional<RunResult> AutoEndedBy;

    // ---- Start-up and close -----------------------------------------------------------
    // Splits and reads the command line into `module1`.
    void LoadCommandLine();
    // The stored language, last file, port and run options; the delay and both lines
    // off. Returns the stored port position (0 is COM1).
    int LoadRunSettings();
    // The command-line action of the first activation, all but the automatic mode's
    // switch: true when "-A" or "-C" asks for the mode to be switched on.
    bool RunCommandLineAction();
    // The close request's part: the automatic mode off and the options saved.
    void Form_QueryUnload();

    // ---- Rules the run applies --------------------------------------------------------
    void SetPowerLine(bool on);
    void SetBootLine(bool on);
    void ClearStatus();
    // Puts a text into the file box and runs its change handling, as the program does.
    void SetSFile(const std::string& text);
    void txtSFile_Change(); // after the person edited txtSFile.text
    void ShowFileTimes(const std::string& path);
    // Nothing when `LoadFile` is ready to send; otherwise why the run ends.
    std::optional<DownloadOutcome> PrepareLoad();
    std::int16_t ConvertHex(const std::string& path);
    // The outcome's text on the status bar, through the one table of texts.
    void ShowOutcome(const DownloadOutcome& outcome);
    void AddRecentFile(const std::string& path);
    void ShiftRecentFiles();

    // The text of a numbered entry of the loaded language file; empty when undefined.
    std::string LangText(std::int16_t id) const { return langTable.Text(id); }
    std::string LangText(TextId id) const { return LangText(static_cast<std::int16_t>(id)); }
    // Loads a language file, or the folder's English.ini when it cannot be read.
    void LoadLangFile(const std::string& path);
    // The folder of the language files beside the program (its name in any letter case).
    std::string LanguageFolder() const;

    // ---- What a front end adds --------------------------------------------------------
    // The row of lamps, the line lamps and the chaser; a terminal has none.
    virtual void SetAllLamps(Rgb) {}
    virtual void ShowLineLamp(bool /*power*/, bool /*on*/) {}
    virtual void RunChaser(bool /*on*/) {}
    virtual void RecentFilesChanged() {}
    virtual bool EngineerMode() const { return false; }
    // The enabled flags a transfer turns off until it ends: whatever could change the
    // image, the port, the rate or the options it uses.
    virtual std::vector<bool*> TransferLocks();
    // "-C": the automatic mode had its good download and the program ends once the
    // running step has returned.
    virtual void EndAfterRun() = 0;

    // ---- Access -----------------------------------------------------------------------
    RunPorts& ports() { return ports_; }
    // The port index (0 is COM1) and rate last handed to the library.
    std::int32_t PortIndex() const { return line_.choice().index(); }
    std::int32_t BaudRate() const { return line_.choice().baud; }
    // The serial line every port call of the model goes through.
    SerialLine& serialLine() { return line_; }
    const std::string& programDir() const { return programDir_; }
    const std::string& commandLine() const { return commandLine_; }

    // Owns a download under way.
    RunMachine run{*this};

private:
    void SplitCommandLine();
    void ParseCommandOptions();

    SerialLine line_;
    WarningStore settings_; // before ports_, which hands it to the whole model
    RunPorts ports_;
    std::string programDir_;
    std::string commandLine_;
    std::optional<std::vector<std::string>> commandWords_;
    bool commandLineDone_ = false; // the command-line action runs at the first activation
};

} // namespace kaprin
