// Serial devices as udev knows them: found by enumerating the "tty" subsystem, watched
// through a udev monitor.
#pragma once

#include "kaprin/prefs/serial_devices.h"

#include <vector>

struct udev;
struct udev_monitor;

namespace kaprin {

// The ttys backed by hardware, sorted by name: consoles and pseudo-terminals have no parent
// device and are left out, so are the legacy 8250 ports the platform registers whether or
// not a chip is there.
std::vector<SerialDevice> DetectUdevSerialDevices();

// Tty devices coming and going. Without udev (a container without /run/udev) the watch has
// no descriptor and never reports a change.
class UdevWatch {
public:
    UdevWatch();
    ~UdevWatch();
    UdevWatch(const UdevWatch&) = delete;
    UdevWatch& operator=(const UdevWatch&) = delete;

    int Descriptor() const;
    // Reads every waiting event without blocking; true when any was a tty added or removed.
    bool Changed();

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

} // namespace kaprin
