#include "kaprin/cli/port_list.h"

#include "kaprin/base/text_escape.h"

#include <algorithm>
#include <cstring>

namespace kaprin::cli {

std::vector<PortInfo> ListPorts(SerialPorts& serial, const comm::PortMap& map) {
    std::vector<PortInfo> ports;
    for (int n = 1; n <= comm::kPorts; ++n) {
        PortInfo p;
        p.number = n;
        p.device = serial.MapPortName(n);
        p.source = PortSource(n, map);
        // The probe also tries the lock, so a port another station holds shows as busy.
        p.state = serial.ProbePort("COM" + std::to_string(n));
        ports.push_back(std::move(p));
    }
    return ports;
}

std::string DescribeState(const PortState& s) {
    switch (s.condition) {
    case PortCondition::Usable:
        return "can be opened";
    case PortCondition::Missing:
        return "missing";
    case PortCondition::NoPermission:
        return s.group.empty() ? "no permission" : "no permission (group " + s.group + ")";
    case PortCondition::Busy:
        return s.holderPid > 0 ? "busy (process " + std::to_string(s.holderPid) + ")" : "busy";
    case PortCondition::NotATerminal:
        return "not a serial device";
    case PortCondition::Console:
        return "the system console: not used";
    case PortCondition::Failed:
        break;
    }
    return std::string("cannot be opened: ") + (s.error ? std::strerror(s.error) : "unknown");
}

std::string FormatPortList(const std::vector<PortInfo>& ports,
                           const std::vector<SerialDevice>& devices) {
    std::size_t width = 12;
    for (const PortInfo& p : ports)
        width = std::max(width, EscapeControlBytes(p.device).size());
    std::string out;
    for (const PortInfo& p : ports) {
        std::string line = "COM" + std::to_string(p.number);
        line.resize(7, ' ');
        line += EscapeControlBytes(p.device);
        line.resize(7 + width + 2, ' ');
        line += DescribeState(p.state) + "  (" + p.source + ")";
        out += line + "\n";
    }
    out += "\nSerial devices found:\n";
    if (devices.empty())
        out += "  none\n";
    for (const SerialDevice& d : devices) {
        out += "  " + EscapeControlBytes(d.devicePath) + "  " +
               EscapeControlBytes(DescribeDevice(d)) + "\n";
        if (!d.byIdPath.empty())
            out += "    " + EscapeControlBytes(d.byIdPath) + "\n";
        if (d.present && !d.mayOpen)
            out += "    no permission" + (d.group.empty() ? "" : " (group " + d.group + ")") + "\n";
    }
    return out;
}

} // namespace kaprin::cli
