// The "Serial devices" window: COM1 to COM20 with the device each maps to, whether it is
// there, what it is and whether this user may open it; the devices found on the system.
// The person assigns a found device (or a typed path) to the selected COM number, or
// clears an assignment; each change is stored in section "Ports" and handed to the
// serial component at once.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/prefs/serial_devices.h"

#include <functional>
#include <string>
#include <vector>

namespace kaprin {

class LangTable;

class FrmDevices {
public:
    // `close` destroys this window's model; `mapChanged` runs after every stored change.
    FrmDevices(Ports ports, SerialPorts& serial, const LangTable& texts,
               std::function<void()> close, std::function<void()> mapChanged);

    std::string Caption;
    Control lblPorts, lblDetected, lblPath;
    ListBox lstPorts;   // one row per COM number
    ListBox lstDevices; // one row per detected device
    TextBox txtPath;
    Control lblStatus; // what stands in the way of the selected port, or why nothing happened
    Control cmdAssign, cmdClear, cmdRefresh, cmdClose;

    void Form_Load();
    void lstPorts_Click(int index);
    // Puts the device's stable path into the path box.
    void lstDevices_Click(int index);
    void txtPath_Change(const std::string& text);
    void cmdAssign_Click();
    void cmdClear_Click();
    void cmdRefresh_Click();
    void cmdClose_Click();

    const std::vector<SerialDevice>& devices() const { return devices_; }

private:
    void Fill();
    void Store(int portNumber, const std::string& path);

    Ports ports_;
    SerialPorts& serial_;
    const LangTable& texts_;
    std::function<void()> close_, mapChanged_;
    std::vector<SerialDevice> devices_;
};

} // namespace kaprin
