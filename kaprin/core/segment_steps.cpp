// The segment panel of the main window: the set check and the six step buttons.
#include "kaprin/core/frm_main.h"
#include "kaprin/info/file_info.h"
#include "kaprin/prefs/settings_keys.h"
#include "kaprin/updateset/frm_setting.h"

namespace kaprin {

namespace {
constexpr const char* kSetIncomplete = "更新檔有一個以上未設定或檔案不存在";
}

void FrmMain::Command4_Click() {
    if (!Command4.enabled)
        return;
    frmSetting = std::make_unique<FrmSetting>(ports_, CD1);
    frmSetting->Form_Load();
    ports_.windows.ShowModalWindow(WindowId::frmSetting);
    // However the window closed, it is gone now and the stored set is checked again.
    frmSetting.reset();
    CheckUpdateFiles();
}

void FrmMain::CheckUpdateFiles() {
    for (int k = 0; k < kSegmentSlots; ++k) {
        if (CheckUpdateFile(k))
            SB1.panel1 = kSetIncomplete;
    }
}

bool FrmMain::CheckUpdateFile(int index) {
    if (index < 0 || index >= kSegmentSlots)
        return true;
    const std::string path =
        ports_.settings.ReadSetting(settings::kSetting, settings::SegmentFileKey(index));
    if (!path.empty() && FileExists(path)) {
        SegmentFile[index] = path;
        // A slot corrected since an earlier check can be used again.
        cmdStep[index].enabled = true;
        return false;
    }
    cmdStep[index].enabled = false;
    return true;
}

void FrmMain::cmdStep_Click(int index) {
    if (index < 0 || index >= kSegmentSlots || !cmdStep[index].enabled)
        return;
    SetSFile(SegmentFile[index]);
    txtCStatus.text = cmdStep[index].caption;
}

} // namespace kaprin
