// The run options of the Setup menu: check marks, the after-load pair, Engineer Mode.
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

void FrmMain::mnuDTR_Click() {
    mnuDTR.checked = !mnuDTR.checked;
}
void FrmMain::mnuRTS_Click() {
    mnuRTS.checked = !mnuRTS.checked;
}
void FrmMain::mnuConvert_Click() {
    mnuConvert.checked = !mnuConvert.checked;
}
void FrmMain::mnuQuenlar_Click() {
    mnuQuenlar.checked = !mnuQuenlar.checked;
}
void FrmMain::mnuCheck_Click() {
    mnuCheck.checked = !mnuCheck.checked;
}

// The two after-load items act as radio items that may both be off.
void FrmMain::mnuBotStart_Click() {
    if (mnuBotStart.checked) {
        mnuBotStart.checked = false;
        return;
    }
    mnuBotShutDown.checked = false;
    mnuBotStart.checked = true;
}

void FrmMain::mnuBotShutDown_Click() {
    if (mnuBotShutDown.checked) {
        mnuBotShutDown.checked = false;
        return;
    }
    mnuBotStart.checked = false;
    mnuBotShutDown.checked = true;
}

void FrmMain::mnuEMode_Click() {
    mnuEMode.checked = !mnuEMode.checked;
    ShowEngineerPanel(mnuEMode.checked);
}

void FrmMain::mnuLogFile_Click() {
    if (!mnuLogFile.enabled)
        return;
    auto& store = ports_.settings;
    FileDialog dialog;
    dialog.filter = "Log File|*.log";
    dialog.initialDir = store.ReadSetting(settings::kSetup, settings::kLogFile);
    dialog.fileName = dialog.initialDir;
    dialog.appendsTo = true;
    const auto chosen = ports_.windows.ChooseSaveFile(dialog);
    if (chosen && !chosen->empty())
        store.WriteSetting(settings::kSetup, settings::kLogFile, *chosen);
}

void FrmMain::ShowEngineerMenu() {
    mnuEMode.visible = true;
}

} // namespace kaprin
