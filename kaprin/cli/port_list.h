// The ports a station can use, for --list-ports: COM1 to COM20, the device each one
// names on this computer ($RS232_COM<n>, else /dev/ttyS<n-1>, as the serial component
// maps them), and whether it exists and can be opened.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kaprin::cli {

struct PortInfo {
    int number = 0;     // 1 to 20
    std::string device; // the path the port names
    bool fromEnvironment = false;
    bool exists = false;
    bool opens = false;
    std::string problem; // why it does not exist or open
};

using GetEnv = std::function<const char*(const char*)>;

std::string PortDevice(int number, const GetEnv& getenv);
PortInfo ProbePort(int number, const GetEnv& getenv);
std::vector<PortInfo> ListPorts(const GetEnv& getenv);
std::string FormatPortList(const std::vector<PortInfo>& ports);

} // namespace kaprin::cli
