#include "kaprin/prefs/frm_language.h"

#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

void FrmLanguage::Form_Load() {
    File1Path = folder_;
    File1.items = ListLanguageFiles(File1Path);
    File1.listIndex = -1;
    ApplyLangWindowCaption();
}

void FrmLanguage::File1_Click(int index) {
    if (index < 0 || index >= static_cast<int>(File1.items.size()))
        return;
    File1.listIndex = index;
    const std::string name = File1.items[static_cast<std::size_t>(index)];
    load_(File1Path + "/" + name);
    ApplyLangWindowCaption();
    settings_.WriteSetting(settings::kSetup, settings::kLanguage, name);
}

void FrmLanguage::ApplyLangWindowCaption() {
    Caption = table_.Text(1111);
}

} // namespace kaprin
