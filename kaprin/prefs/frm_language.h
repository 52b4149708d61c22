// The language window: the language files of the program's folder; a click loads one.
#pragma once

#include "kaprin/core/control.h"

#include <string>

namespace kaprin {

class FrmMain;

class FrmLanguage {
public:
    explicit FrmLanguage(FrmMain& main) : main_(main) {}

    std::string Caption = "Language";
    ListBox File1;         // file names only
    std::string File1Path; // the folder listed

    void Form_Load();
    void File1_Click(int index);
    void ApplyLangWindowCaption();

private:
    FrmMain& main_;
};

} // namespace kaprin
