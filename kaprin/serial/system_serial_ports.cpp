#include "kaprin/serial/system_serial_ports.h"

#include "rs232/rs232.h"

#include <cstring>

namespace kaprin {

void SystemSerialPorts::SetPortMap(const comm::PortMap& map) {
    const char* paths[comm::kPorts];
    for (std::size_t i = 0; i < map.size(); ++i)
        paths[i] = map[i].c_str();
    // An entry the component refuses (too long) keeps the old map; the store keeps it too,
    // and the ports it names simply do not open.
    (void)::SetPortMap(paths, comm::kPorts);
}

std::string SystemSerialPorts::MapPortName(int number) {
    char path[256];
    const std::string name = "COM" + std::to_string(number);
    return ::MapPortName(name.c_str(), path, sizeof path) == RS232_OK ? std::string(path)
                                                                      : std::string();
}

PortState SystemSerialPorts::ProbePort(const std::string& name) {
    RS232_PortState raw{};
    const int32_t result = ::ProbePort(name.c_str(), &raw);
    PortState state;
    switch (result) {
    case RS232_PORT_USABLE:
        state.condition = PortCondition::Usable;
        break;
    case RS232_PORT_MISSING:
        state.condition = PortCondition::Missing;
        break;
    case RS232_PORT_NO_PERMISSION:
        state.condition = PortCondition::NoPermission;
        break;
    case RS232_PORT_BUSY:
        state.condition = PortCondition::Busy;
        break;
    case RS232_PORT_NOT_A_TERMINAL:
        state.condition = PortCondition::NotATerminal;
        break;
    default:
        state.condition = PortCondition::Failed;
        break;
    }
    state.error = raw.error;
    state.holderPid = raw.holderPid;
    state.device.assign(raw.device, strnlen(raw.device, sizeof raw.device));
    state.group.assign(raw.group, strnlen(raw.group, sizeof raw.group));
    if (state.device.empty())
        state.device = name;
    return state;
}

std::vector<SerialDevice> SystemSerialPorts::Detect() {
    return DetectSerialDevices(sysRoot_, devRoot_);
}

} // namespace kaprin
