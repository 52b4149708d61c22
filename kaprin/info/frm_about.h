// The About window: the utility's name and version.
#pragma once

#include "kaprin/core/control.h"

#include <string>

namespace kaprin {

class FrmMain;

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 5;

// Major "." minor, then the revision directly after it: 1, 1, 5 reads "1.15".
std::string VersionText(int major, int minor, int revision);

class FrmAbout {
public:
    explicit FrmAbout(FrmMain& main) : main_(main) {}

    std::string Caption = "About";
    Control Label1{"MORLA Quenlar Utility"};
    Control Label2{""};
    Control cmdOK{"OK"};

    void Form_Load();
    // Closes the window (this object is destroyed).
    void cmdOK_Click();

private:
    FrmMain& main_;
};

} // namespace kaprin
