// The numbered texts of the serial-device windows and messages, with the English text
// used when a language file does not define one (files made before these texts existed).
#pragma once

#include "kaprin/prefs/language.h"
#include "kaprin/prefs/serial_devices.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kaprin {

enum class DeviceText : std::int16_t {
    SerialDevices = 1500, // window caption and Setup menu item
    Assign = 1501,
    Clear = 1502,
    Refresh = 1503,
    Close = 1504,
    DevicePath = 1505,
    Detected = 1506,
    ComPorts = 1507,
    DevicesButton = 1508, // the communication window's button
    Present = 1510,
    NotPresent = 1511,
    MayOpen = 1512,
    NoAccess = 1513,
    Default = 1514,
    NoDevices = 1515,
    NotAPath = 1516,
    StoredNoSerial = 1517,
    StoredSameId = 1518,
    NoPermission = 1520,        // %1 device, %2 group
    NoPermissionNoGroup = 1521, // %1 device, %2 owner
    Busy = 1522,                // %2 process id
    BusyNoPid = 1523,
    Missing = 1524,
    NotATerminal = 1525,
    Failed = 1526,           // %2 the system's reason
    BadRate = 1527,          // %2 the rate
    FirstRunQuestion = 1530, // %1 COM name, %2 description, %3 path
    CommDevice = 1531,       // %1 path, %2 present or not
    Console = 1532,
    Removed = 1533,
    NotInList = 1534, // %1 the typed text, %2 what is accepted
    ColumnCom = 1540,
    ColumnDevice = 1541,
    ColumnSource = 1542,
    ColumnPresent = 1543,
    ColumnAccess = 1544,
    ColumnDescription = 1545,
    ColumnStoredAs = 1546,
    ColumnWhy = 1547,
};

// Every id above, for the check of the shipped language files.
std::vector<DeviceText> AllDeviceTexts();

// The text of the loaded language file, or the English one when the file has none.
std::string DeviceLangText(const LangTable& table, DeviceText id);
// Replaces %1, %2 … by the arguments.
std::string FillText(std::string text, std::initializer_list<std::string> args);

// A sentence that says why the port cannot be used and what to do; empty when it can.
std::string PortProblemText(const PortState& state, const LangTable& table);
// Why a device is stored by its socket; empty when it is stored by its own name.
std::string StoredByText(StoreBy by, const LangTable& table);

} // namespace kaprin
