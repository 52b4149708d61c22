// The model's SerialPorts on this computer: the serial component's port map and probe in
// librs232.so (the instance libPellin.so opens ports through), and detection in /sys and /dev.
#pragma once

#include "kaprin/prefs/serial_devices.h"

namespace kaprin {

class SystemSerialPorts : public SerialPorts {
public:
    explicit SystemSerialPorts(std::string sysRoot = "/sys", std::string devRoot = "/dev")
        : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}

    void SetPortMap(const comm::PortMap& map) override;
    std::string MapPortName(int number) override;
    PortState ProbePort(const std::string& name) override;
    std::vector<SerialDevice> Detect() override;

private:
    std::string sysRoot_, devRoot_;
};

} // namespace kaprin
