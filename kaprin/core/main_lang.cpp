// The main window's language: the table it loads and the captions it takes from it.
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/frm_language.h"
#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

std::string RunPanel::LanguageFolder() const {
    return FindIgnoreCase(programDir_, "Language");
}

void RunPanel::LoadLangFile(const std::string& path) {
    if (langTable.LoadFile(path))
        return;
    // Neither file readable: the table keeps what it holds.
    langTable.LoadFile(FindIgnoreCase(LanguageFolder(), kDefaultLanguageFile));
}

void FrmMain::ApplyMainLang() {
    Caption = LangText(1000);
    mnufile.caption = LangText(1100);
    mnuExit.caption = LangText(1101);
    mnuSetup.caption = LangText(1110);
    mnuLanguage.caption = LangText(1111);
    mnuDevices.caption = DeviceLangText(langTable, DeviceText::SerialDevices);
    mnuAbout.caption = LangText(1120);
    mnuAbout_.caption = LangText(1121);
    mnuHelp.caption = LangText(1122);
    Label1[0].caption = LangText(1200);
    cmdBorwse.caption = LangText(1201);
    cmdStart.caption = LangText(1202);
    Label1[1].caption = LangText(1204);
    Label1[2].caption = LangText(1205);
    Label1[3].caption = LangText(1206);
    Label1[4].caption = LangText(1207);
}

void FrmMain::mnuLanguage_Click() {
    if (!frmLanguage) {
        frmLanguage = std::make_unique<FrmLanguage>(ports_.settings, langTable, LanguageFolder(),
                                                    [this](const std::string& path) {
                                                        LoadLangFile(path);
                                                        ApplyMainLang();
                                                    });
        frmLanguage->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmLanguage);
}

} // namespace kaprin
