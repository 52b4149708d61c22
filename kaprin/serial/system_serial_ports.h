// The model's SerialPorts on this computer: the serial component's port map and probe in
// librs232.so, and detection and the watch of devices through udev.
//
// The serial component's exports are looked up at the first call through libPellin.so,
// opened from the program's folder first like the other libraries: the download library
// depends on librs232.so, so the component is loaded once, as the library's, and the map
// set here is the one the library's opens use. Without it nothing is mapped or explained,
// and the download library's own loading reports what is missing.
#pragma once

#include "kaprin/prefs/serial_devices.h"
#include "kaprin/serial/udev_devices.h"

#include <functional>

namespace kaprin {

class SystemSerialPorts : public SerialPorts {
public:
    // `programDir` empty: the folder of the running program.
    explicit SystemSerialPorts(std::string programDir = {});

    void SetPortMap(const comm::PortMap& map) override;
    PortMapping MapPort(int number) override;
    PortState ProbePort(const std::string& name, std::int32_t baud) override;
    std::vector<SerialDevice> Detect() override;
    bool DevicesChanged() override;
    int ChangeDescriptor() override;

    // Told about a stored map entry the serial component cannot take.
    std::function<void(const std::string& problem)> onMapProblem;

private:
    void* Symbol(const char* name);

    std::string programDir_;
    UdevWatch watch_;
    void* handle_ = nullptr;
    bool tried_ = false;
};

} // namespace kaprin
