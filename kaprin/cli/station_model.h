// The station's model: the run and what it reads and shows, with no window behind it. It
// owns the settings, the language texts, the serial line and the run; the terminal shows
// its status and counts, and the station loop ends when it asks to.
#pragma once

#include "kaprin/core/run_panel.h"

#include <string>
#include <utility>
#include <vector>

namespace kaprin::cli {

class StationModel : public RunPanel {
public:
    StationModel(RunPorts ports, std::string programDir, std::vector<std::string> words)
        : RunPanel(ports, std::move(programDir), std::string(), std::move(words)) {}

    // Start-up as the window program's: the command line, then the stored settings.
    void Load() {
        LoadCommandLine();
        LoadRunSettings();
        AutoFailCount = 0;
    }
    // The command line's action: "-A" and "-C" switch the automatic mode on.
    void Activate() {
        if (RunCommandLineAction())
            run.ToggleAuto();
    }
    // The program's title, as the language file names it.
    std::string Title() const { return LangText(1000); }

    void EndAfterRun() override { endRequested_ = true; }
    // "-C" had its good download.
    bool endRequested() const { return endRequested_; }

private:
    bool endRequested_ = false;
};

} // namespace kaprin::cli
