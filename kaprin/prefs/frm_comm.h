// The communication window: serial port and baud rate for the following downloads.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"

#include <array>
#include <functional>
#include <string>

namespace kaprin {

class LangTable;

// What the window needs of the main window.
struct CommHost {
    Control& lblPort;                  // shows the chosen port's name after OK
    const LangTable& texts;            // for the texts that are not the window's own
    std::function<void()> close;       // the window has closed: its model goes
    std::function<void()> openDevices; // the "Serial devices" window
};

class FrmComm {
public:
    FrmComm(Ports ports, CommHost host);

    std::string Caption = "Communication";
    // 0 port, 1 baud rate; 2 to 4 only show the fixed line format.
    std::array<ComboBox, 5> Combo1;
    std::array<Control, 5> Label1{Control{"Com Port"}, Control{"Baud Rate"}, Control{"Data Bit"},
                                  Control{"Stop Bit"}, Control{"Parity"}};
    Control Command1{"OK"};
    Control Command2{"Cancel"};
    // Under the port list: the device the chosen entry maps to, and whether it is there.
    Control lblDevice;
    Control cmdDevices;

    void Form_Load();
    void Combo1_Select(int index, int entry);
    void Combo1_Type(int index, const std::string& text);
    // OK: applies, shows and stores the choice, then closes (this object is destroyed).
    void Command1_Click();
    // Cancel: closes without applying anything (this object is destroyed).
    void Command2_Click();
    void cmdDevices_Click();
    // The port map changed elsewhere: the device line follows.
    void ShowDevice();

private:
    // With nothing mapped and exactly one USB serial device plugged in, offers to map it.
    void OfferTheOnlyDevice(int portNumber);

    Ports ports_;
    CommHost host_;
};

} // namespace kaprin
