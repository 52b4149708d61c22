// The communication window: serial port and baud rate for the following downloads.
#pragma once

#include "kaprin/core/control.h"

#include <array>
#include <string>

namespace kaprin {

class FrmMain;

class FrmComm {
public:
    explicit FrmComm(FrmMain& main);

    std::string Caption = "Communication";
    // 0 port, 1 baud rate; 2 to 4 only show the fixed line format.
    std::array<ComboBox, 5> Combo1;
    std::array<Control, 5> Label1{Control{"Com Port"}, Control{"Baud Rate"}, Control{"Data Bit"},
                                  Control{"Stop Bit"}, Control{"Parity"}};
    Control Command1{"OK"};
    Control Command2{"Cancel"};

    void Form_Load();
    // OK: applies, shows and stores the choice, then closes (this object is destroyed).
    void Command1_Click();
    // Cancel: closes without applying anything (this object is destroyed).
    void Command2_Click();

private:
    FrmMain& main_;
};

} // namespace kaprin
