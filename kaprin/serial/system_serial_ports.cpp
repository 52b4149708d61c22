#include "kaprin/serial/system_serial_ports.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/base/program_dir.h"
#include "kaprin/core/library_binding.h"
#include "rs232/rs232.h"

#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace kaprin {

SystemSerialPorts::SystemSerialPorts(std::string programDir)
    : programDir_(programDir.empty() ? RunningProgramDir() : std::move(programDir)) {}

void* SystemSerialPorts::Symbol(const char* name) {
    if (!tried_) {
        tried_ = true;
        // The component is reached through the download library that depends on it, never
        // loaded beside it: the map set here is then the one the library's opens use.
        const std::string beside = programDir_ + "/" + kPellinFile;
        handle_ = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            handle_ = dlopen(kPellinFile, RTLD_NOW | RTLD_LOCAL);
    }
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void SystemSerialPorts::SetPortMap(const comm::PortMap& map) {
    auto set = reinterpret_cast<decltype(&::SetPortMap)>(Symbol("SetPortMap"));
    if (!set)
        return;
    const char* paths[comm::kPorts];
    for (std::size_t i = 0; i < map.size(); ++i)
        paths[i] = map[i].c_str();
    // The component skips an over-long entry (its number then opens nothing) and takes the
    // others; the store keeps it as written.
    if (set(paths, comm::kPorts) == RS232_OK || !onMapProblem)
        return;
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (map[i].size() > 255)
            onMapProblem("the [Ports] entry of " + ComName(int(i) + 1) +
                         " is longer than 255 bytes and is skipped: " + ComName(int(i) + 1) +
                         " names no device until it is mended");
    }
}

PortMapping SystemSerialPorts::MapPort(int number) {
    auto map = reinterpret_cast<decltype(&::MapPortName)>(Symbol("MapPortName"));
    auto source = reinterpret_cast<decltype(&::MapPortSource)>(Symbol("MapPortSource"));
    char path[256];
    const std::string name = ComName(number);
    if (!map || !source || map(name.c_str(), path, sizeof path) != RS232_OK)
        return {};
    switch (source(name.c_str())) {
    case RS232_SOURCE_ENV:
        return {path, PortSource::Environment};
    case RS232_SOURCE_MAP:
        return {path, PortSource::Map};
    case RS232_SOURCE_DEFAULT:
        return {path, PortSource::Default};
    default:
        return {path, PortSource::None};
    }
}

PortState SystemSerialPorts::ProbePort(const std::string& name, std::int32_t baud) {
    auto probe = reinterpret_cast<decltype(&::ProbePort)>(Symbol("ProbePort"));
    RS232_PortState raw{};
    PortState state;
    state.device = name;
    state.baud = baud;
    if (!probe)
        return state; // Failed, for want of the component
    switch (probe(name.c_str(), baud, &raw)) {
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
    case RS232_PORT_BAD_RATE:
        state.condition = PortCondition::BadRate;
        break;
    case RS232_PORT_CONSOLE:
        state.condition = PortCondition::Console;
        break;
    default:
        state.condition = PortCondition::Failed;
        break;
    }
    state.error = raw.error;
    state.holderPid = raw.holderPid;
    if (raw.device[0] != '\0')
        state.device.assign(raw.device, strnlen(raw.device, sizeof raw.device));
    state.group.assign(raw.group, strnlen(raw.group, sizeof raw.group));
    if (state.condition == PortCondition::NoPermission)
        state.owner = InspectDeviceFile(state.device).owner;
    return state;
}

std::vector<SerialDevice> SystemSerialPorts::Detect() {
    return DetectUdevSerialDevices();
}

bool SystemSerialPorts::DevicesChanged() {
    return watch_.Changed();
}

int SystemSerialPorts::ChangeDescriptor() {
    return watch_.Descriptor();
}

} // namespace kaprin
