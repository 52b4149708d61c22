#include "kaprin/cli/port_list.h"

#include "rs232/rs232.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin::cli {

std::string PortDevice(int number) {
    char path[256];
    const std::string name = "COM" + std::to_string(number);
    return ::MapPortName(name.c_str(), path, sizeof path) == RS232_OK ? std::string(path)
                                                                      : std::string();
}

PortInfo ProbePort(int number) {
    PortInfo p;
    p.number = number;
    std::string var = "RS232_COM" + std::to_string(number);
    const char* set = std::getenv(var.c_str());
    p.fromEnvironment = set && *set;
    p.device = PortDevice(number);

    struct stat st {};
    if (stat(p.device.c_str(), &st) != 0) {
        p.problem = errno == ENOENT ? "missing" : std::strerror(errno);
        return p;
    }
    p.exists = true;
    // Non-blocking, so that a modem port without carrier does not hold the listing up.
    int fd = open(p.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        p.problem = errno == EBUSY ? "in use by another program" : std::strerror(errno);
        return p;
    }
    bool terminal = isatty(fd) == 1;
    close(fd);
    if (!terminal) {
        p.problem = "not a serial device";
        return p;
    }
    p.opens = true;
    return p;
}

std::vector<PortInfo> ListPorts() {
    std::vector<PortInfo> ports;
    for (int n = 1; n <= 20; ++n)
        ports.push_back(ProbePort(n));
    return ports;
}

std::string FormatPortList(const std::vector<PortInfo>& ports) {
    std::size_t width = 12;
    for (const PortInfo& p : ports)
        width = std::max(width, p.device.size());
    std::string out;
    for (const PortInfo& p : ports) {
        char name[8];
        std::snprintf(name, sizeof name, "COM%d", p.number);
        std::string line = name;
        line.resize(7, ' ');
        line += p.device;
        line.resize(7 + width + 2, ' ');
        if (p.opens)
            line += "can be opened";
        else if (p.exists)
            line += "exists, cannot be opened: " + p.problem;
        else
            line += p.problem;
        if (p.fromEnvironment)
            line += "  (RS232_COM" + std::to_string(p.number) + ")";
        out += line + "\n";
    }
    return out;
}

} // namespace kaprin::cli
