// The language window: the language files of the program's folder; a click loads one.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/prefs/language.h"

#include <functional>
#include <string>

namespace kaprin {

class FrmLanguage {
public:
    // `table` is the language table in use; `load` loads a language file into it and
    // puts its texts into the main window.
    FrmLanguage(SettingsStore& settings, const LangTable& table, std::string folder,
                std::function<void(const std::string& path)> load)
        : settings_(settings), table_(table), folder_(std::move(folder)), load_(std::move(load)) {}

    std::string Caption = "Language";
    ListBox File1;         // file names only
    std::string File1Path; // the folder listed

    void Form_Load();
    void File1_Click(int index);
    void ApplyLangWindowCaption();

private:
    SettingsStore& settings_;
    const LangTable& table_;
    std::string folder_;
    std::function<void(const std::string&)> load_;
};

} // namespace kaprin
