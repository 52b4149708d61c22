#include "kaprin/updateset/frm_setting.h"

#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

namespace {
constexpr const char* kUpdateFileFilter = "更新檔|*.PLN";
constexpr const char* kRecordFileFilter = "紀錄檔|*.SAV";
} // namespace

FrmSetting::FrmSetting(Ports ports, FileDialog& mainChooser)
    : ports_(ports), mainChooser_(mainChooser) {}

void FrmSetting::Form_Load() {
    for (int k = 0; k < kSegmentSlots; ++k)
        txtFile[k].text =
            ports_.settings.ReadSetting(settings::kSetting, settings::SegmentFileKey(k));
}

void FrmSetting::cmdBrowse_Click(int index) {
    if (index < 0 || index >= kSegmentSlots)
        return;
    // The shared chooser keeps the folder the main window last gave it.
    mainChooser_.filter = kUpdateFileFilter;
    mainChooser_.fileName.clear();
    const auto chosen = ports_.windows.ChooseOpenFile(mainChooser_);
    if (chosen && !chosen->empty()) {
        mainChooser_.fileName = *chosen;
        txtFile[index].text = *chosen;
    }
}

void FrmSetting::cmdLoad_Click() {
    CD1.filter = kRecordFileFilter;
    const auto chosen = ports_.windows.ChooseOpenFile(CD1);
    if (!chosen || chosen->empty())
        return;
    CD1.fileName = *chosen;
    // Errors pass silently: a box whose line was not read keeps its text.
    RecordReader reader(*chosen);
    for (int k = 0; k < kSegmentSlots; ++k) {
        auto line = reader.ReadRecordLine();
        if (!line)
            break;
        txtFile[k].text = std::move(*line);
    }
}

void FrmSetting::cmdSave_Click() {
    CD1.filter = kRecordFileFilter;
    const auto chosen = ports_.windows.ChooseSaveFile(CD1);
    if (!chosen || chosen->empty())
        return;
    CD1.fileName = *chosen;
    SegmentSet slots;
    for (int k = 0; k < kSegmentSlots; ++k)
        slots[k] = txtFile[k].text;
    WriteRecordFile(*chosen, slots); // a failure passes silently
}

void FrmSetting::OKButton_Click() {
    for (int k = 0; k < kSegmentSlots; ++k)
        ports_.settings.WriteSetting(settings::kSetting, settings::SegmentFileKey(k),
                                     txtFile[k].text);
    Close();
}

void FrmSetting::CancelButton_Click() {
    Close();
}

void FrmSetting::Close() {
    closed_ = true;
    ports_.windows.CloseWindow(WindowId::frmSetting);
}

} // namespace kaprin
