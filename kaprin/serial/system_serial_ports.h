// The model's SerialPorts on this computer: the serial component's port map and probe in
// librs232.so, and detection in /sys and /dev.
//
// librs232.so is opened at the first call, from the program's folder first, like the other
// libraries: its soname is the one libPellin.so depends on, so both share one instance and
// the map set here is the one the library's opens use. Without it nothing is mapped or
// explained, and the download library's own loading reports what is missing.
#pragma once

#include "kaprin/prefs/serial_devices.h"

#include <functional>

namespace kaprin {

class SystemSerialPorts : public SerialPorts {
public:
    // `programDir` empty: the folder of the running program.
    explicit SystemSerialPorts(std::string programDir = {}, std::string sysRoot = "/sys",
                               std::string devRoot = "/dev");

    void SetPortMap(const comm::PortMap& map) override;
    std::string MapPortName(int number) override;
    PortState ProbePort(const std::string& name) override;
    std::vector<SerialDevice> Detect() override;

    // Told about a stored map entry the serial component cannot take.
    std::function<void(const std::string& problem)> onMapProblem;

private:
    void* Symbol(const char* name);

    std::string programDir_, sysRoot_, devRoot_;
    void* handle_ = nullptr;
    bool tried_ = false;
};

} // namespace kaprin
