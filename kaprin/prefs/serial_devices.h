// Serial devices as a Linux user finds them: detection from the kernel's sysfs tree and
// the /dev/serial/by-id links, the state of a port, and the serial component's mapping of
// COM numbers to devices, behind the SerialPorts interface the model calls.
//
// Detection reads sysfs by hand instead of through libudev: libudev cannot be pointed at
// another root, so only hand reading lets the tests run on a fake tree; the few files read
// here (device and driver links, the USB device's id and string files) are the kernel's
// stable interface, and the by-id links are plain symlinks.
#pragma once

#include "kaprin/prefs/comm_settings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kaprin {

struct SerialDevice {
    std::string name;       // "ttyUSB0"
    std::string devicePath; // "/dev/ttyUSB0"
    std::string byIdPath;   // "/dev/serial/by-id/usb-…", empty when there is none
    std::string vendorId;   // "0403", USB only
    std::string productId;  // "6001"
    std::string manufacturer, product, serial;
    std::string driver; // "ftdi_sio", "cdc_acm", "serial"
    bool usb = false;
    // The device file: present, and whether this user may read and write it.
    bool present = false;
    bool mayOpen = false;
    std::string group; // the group owning the device file, "" unknown
};

// The devices of `sysRoot`/class/tty that are backed by hardware, sorted by name, with their
// files in `devRoot` ("/sys" and "/dev" on a running system). Consoles and pseudo-terminals
// have no device link and are left out, so are the legacy 8250 ports the platform registers
// whether or not a chip is there.
std::vector<SerialDevice> DetectSerialDevices(const std::string& sysRoot,
                                              const std::string& devRoot);

// A device file as this user sees it.
struct DeviceFile {
    bool present = false;
    bool mayOpen = false; // read and write access
    std::string group;    // the owning group when joining it gives access, else ""
    std::string owner;    // the owning user's name
};
DeviceFile InspectDeviceFile(const std::string& path);
// Whether joining the owning group would give read and write access: root's never counts.
bool GroupGrantsAccess(unsigned mode, unsigned gid);

// One line for a person: "FTDI FT232R USB UART (0403:6001, serial A1, ftdi_sio)".
std::string DescribeDevice(const SerialDevice& device);
// The path to store for a device: the stable by-id path when it has one.
std::string StablePath(const SerialDevice& device);
// The detected device a path leads to (a by-id link, the device itself, any symlink).
const SerialDevice* FindDevice(const std::vector<SerialDevice>& devices, const std::string& path);

// Why a port can or cannot be opened now, as the serial component's probe tells it.
enum class PortCondition { Usable, Missing, NoPermission, Busy, NotATerminal, Failed, Console };
struct PortState {
    PortCondition condition = PortCondition::Failed;
    int error = 0;     // errno of the failed open
    int holderPid = 0; // the process holding the port, 0 unknown
    std::string device;
    std::string group; // as DeviceFile::group
    std::string owner{};
    bool removed = false; // Missing: it went away during a transfer
};

// Where the serial component takes COM `number`'s device from: "RS232_COM<n>" when that
// variable is set, "map" when the map has an entry, else "default" (/dev/ttyS<n-1>).
std::string PortSource(int number, const comm::PortMap& map);

// What the model needs of the serial component and the system.
class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Hands the stored map to the serial component, for every later open in this process.
    virtual void SetPortMap(const comm::PortMap& map) = 0;
    // The device COM `number` maps to now ($RS232_COM<n>, the map, else /dev/ttyS<n-1>).
    virtual std::string MapPortName(int number) = 0;
    // `name` is "COM<n>" or a device path.
    virtual PortState ProbePort(const std::string& name) = 0;
    virtual std::vector<SerialDevice> Detect() = 0;
};

} // namespace kaprin
