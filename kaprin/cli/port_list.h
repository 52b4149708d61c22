// The ports a station can use, for --list-ports: COM1 to COM20, the device each one
// names on this computer (as the serial component maps it: $RS232_COM<n>, the stored map,
// else /dev/ttyS<n-1>) and whether it can be opened now, then the serial devices found.
#pragma once

#include "kaprin/prefs/serial_devices.h"

#include <string>
#include <vector>

namespace kaprin::cli {

struct PortInfo {
    int number = 0;     // 1 to 20
    std::string device; // the path the port names
    std::string source; // "RS232_COM<n>", "map" or "default"
    PortState state;
};

std::vector<PortInfo> ListPorts(SerialPorts& serial, const comm::PortMap& map);
// "can be opened", "busy (process 1234)", "no permission (group dialout)", …
std::string DescribeState(const PortState& state);
std::string FormatPortList(const std::vector<PortInfo>& ports,
                           const std::vector<SerialDevice>& devices);

} // namespace kaprin::cli
