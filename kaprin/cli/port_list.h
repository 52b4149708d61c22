// The ports a station can use, for --list-ports: COM1 to COM20, the device each one
// names on this computer and where from (as the serial component maps it) and whether it
// can be opened now at the rate in force, then the serial devices found; with --watch, the
// devices that come and go after that.
#pragma once

#include "kaprin/prefs/serial_devices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaprin::cli {

struct PortInfo {
    int number = 0;     // 1 to 20
    std::string device; // the path the port names
    std::string source; // "RS232_COM<n>", "map" or "default"
    PortState state;
};

std::vector<PortInfo> ListPorts(SerialPorts& serial, std::int32_t baud);
// "can be opened", "busy (process 1234)", "no permission (group dialout)", …
std::string DescribeState(const PortState& state);
std::string FormatPortList(const std::vector<PortInfo>& ports,
                           const std::vector<SerialDevice>& devices);
// One line per device that came ("+ ") or went ("- ") between two detections.
std::string FormatDeviceChanges(const std::vector<SerialDevice>& before,
                                const std::vector<SerialDevice>& after);
// Prints the changes as devices come and go until `stopFd` turns readable.
void WatchDevices(SerialPorts& serial, std::vector<SerialDevice> devices, int stopFd);

} // namespace kaprin::cli
