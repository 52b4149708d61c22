// The About window: the utility's name and version.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"

#include <functional>
#include <string>

namespace kaprin {

// Major "." minor, then the revision directly after it: 1, 1, 5 reads "1.15".
std::string VersionText(int major, int minor, int revision);

class FrmAbout {
public:
    // `closed` runs once the window has closed itself; it may destroy this object.
    FrmAbout(WindowServices& windows, std::function<void()> closed)
        : windows_(windows), closed_(std::move(closed)) {}

    std::string Caption = "About";
    Control Label1{"MORLA Quenlar Utility"};
    Control Label2{""};
    Control cmdOK{"OK"};

    void Form_Load();
    void cmdOK_Click();

private:
    WindowServices& windows_;
    std::function<void()> closed_;
};

} // namespace kaprin
