#include "kaprin/cli/port_list.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/base/text_escape.h"
#include "kaprin/prefs/device_texts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace kaprin::cli {

std::vector<PortInfo> ListPorts(SerialPorts& serial, std::int32_t baud) {
    std::vector<PortInfo> ports;
    for (int n = 1; n <= comm::kPorts; ++n) {
        PortInfo p;
        p.number = n;
        const PortMapping mapping = serial.MapPort(n);
        p.device = mapping.device;
        p.source = PortSourceText(n, mapping.source);
        // The probe also tries the lock, so a port another station holds shows as busy.
        p.state = serial.ProbePort(ComName(n), baud);
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
    case PortCondition::BadRate:
        return "refuses " + std::to_string(s.baud) + " baud";
    case PortCondition::Console:
        return "the system console: not used";
    case PortCondition::Failed:
        break;
    }
    return std::string("cannot be opened: ") + (s.error ? std::strerror(s.error) : "unknown");
}

namespace {

std::string DeviceLines(const SerialDevice& d, const std::vector<SerialDevice>& all) {
    std::string out =
        EscapeControlBytes(d.devicePath) + "  " + EscapeControlBytes(DescribeDevice(d)) + "\n";
    const StablePath stable = StablePathOf(d, all);
    if (stable.path != d.devicePath) {
        const std::string why = StoredByText(stable.by, LangTable{});
        out += "    " + EscapeControlBytes(stable.path) + (why.empty() ? "" : "  (" + why + ")") +
               "\n";
    }
    if (d.present && !d.mayOpen)
        out += "    no permission" + (d.group.empty() ? "" : " (group " + d.group + ")") + "\n";
    return out;
}

} // namespace

std::string FormatPortList(const std::vector<PortInfo>& ports,
                           const std::vector<SerialDevice>& devices) {
    std::size_t width = 12;
    for (const PortInfo& p : ports)
        width = std::max(width, EscapeControlBytes(p.device).size());
    std::string out;
    for (const PortInfo& p : ports) {
        std::string line = ComName(p.number);
        line.resize(7, ' ');
        line += EscapeControlBytes(p.device);
        line.resize(7 + width + 2, ' ');
        line += DescribeState(p.state) + "  (" + p.source + ")";
        out += line + "\n";
    }
    out += "\nSerial devices found:\n";
    if (devices.empty())
        out += "  none\n";
    for (const SerialDevice& d : devices)
        out += "  " + DeviceLines(d, devices);
    return out;
}

std::string FormatDeviceChanges(const std::vector<SerialDevice>& before,
                                const std::vector<SerialDevice>& after) {
    auto in = [](const std::vector<SerialDevice>& list, const SerialDevice& d) {
        return std::any_of(list.begin(), list.end(),
                           [&d](const SerialDevice& o) { return o.devicePath == d.devicePath; });
    };
    std::string out;
    for (const SerialDevice& d : before) {
        if (!in(after, d))
            out += "- " + EscapeControlBytes(d.devicePath) + "\n";
    }
    for (const SerialDevice& d : after) {
        if (!in(before, d))
            out += "+ " + DeviceLines(d, after);
    }
    return out;
}

void WatchDevices(SerialPorts& serial, std::vector<SerialDevice> devices, int stopFd) {
    if (serial.ChangeDescriptor() < 0) {
        std::fputs("kaprin-cli: devices cannot be watched here (no udev)\n", stderr);
        return;
    }
    std::fputs("\nWatching; Ctrl-C ends.\n", stdout);
    std::fflush(stdout);
    for (;;) {
        pollfd fds[2] = {{serial.ChangeDescriptor(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, stopFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        if (!serial.DevicesChanged())
            continue;
        std::vector<SerialDevice> now = serial.Detect();
        std::fputs(FormatDeviceChanges(devices, now).c_str(), stdout);
        std::fflush(stdout);
        devices = std::move(now);
    }
}

} // namespace kaprin::cli
