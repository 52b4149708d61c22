// Serial devices as a Linux user finds them (what udev knows of each), the state of a
// port, and the serial component's mapping of COM numbers to devices, behind the
// SerialPorts interface the model calls.
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
    std::string byPathPath; // "/dev/serial/by-path/pci-…-usb-0:1:1.0-port0": the socket
    std::string vendorId;   // "0403", USB only
    std::string productId;  // "6001"
    std::string manufacturer, product, serial;
    // The names the system's hardware database gives the vendor and product ids.
    std::string vendorFromDatabase, modelFromDatabase;
    std::string driver; // "ftdi_sio", "cdc_acm", "serial"
    bool usb = false;
    // The device file: present, and whether this user may read and write it.
    bool present = false;
    bool mayOpen = false;
    std::string group; // the group owning the device file, "" unknown
};

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

// One line for a person: "FTDI FT232R USB UART (0403:6001, serial A1, ftdi_sio)"; the
// hardware database names a device that reports none itself.
std::string DescribeDevice(const SerialDevice& device);

// The path to store for a device, so that it is found again after a re-plug: its by-id
// link when it has a serial number and no other device shares that link, else its by-path
// link (the socket it is plugged into), else the device itself.
enum class StoreBy { Id, PathNoSerial, PathSameId, Device };
struct StablePath {
    std::string path;
    StoreBy by = StoreBy::Device;
};
StablePath StablePathOf(const SerialDevice& device, const std::vector<SerialDevice>& all);
// The detected device a path leads to (a by-id link, the device itself, any symlink).
const SerialDevice* FindDevice(const std::vector<SerialDevice>& devices, const std::string& path);

// Why a port can or cannot be opened now, as the serial component's probe tells it.
enum class PortCondition {
    Usable,
    Missing,
    NoPermission,
    Busy,
    NotATerminal,
    Failed,
    Console,
    BadRate
};
struct PortState {
    PortCondition condition = PortCondition::Failed;
    int error = 0;     // errno of the failed open
    int holderPid = 0; // the process holding the port, 0 unknown
    std::string device;
    std::string group; // as DeviceFile::group
    std::string owner{};
    std::int32_t baud = 0; // the rate tried
    bool removed = false;  // Missing: it went away during a transfer
};

// Where the serial component took a COM number's device from.
enum class PortSource { None, Environment, Map, Default };
struct PortMapping {
    std::string device; // "" when the number maps to nothing
    PortSource source = PortSource::None;
};
// "RS232_COM<n>", "map" or "default", as both front ends show it.
std::string PortSourceText(int number, PortSource source);

// What the model needs of the serial component and the system.
class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Hands the stored map to the serial component, for every later open in this process.
    virtual void SetPortMap(const comm::PortMap& map) = 0;
    // The device COM `number` maps to now and where from ($RS232_COM<n>, the map, else
    // /dev/ttyS<n-1>), as the serial component itself decides it.
    virtual PortMapping MapPort(int number) = 0;
    // `name` is "COM<n>" or a device path; the rate is tried on it.
    virtual PortState ProbePort(const std::string& name, std::int32_t baud) = 0;
    virtual std::vector<SerialDevice> Detect() = 0;
    // True when a serial device came or went since the last call; returns at once.
    virtual bool DevicesChanged() { return false; }
    // A descriptor that turns readable when a device comes or goes, -1 when there is none;
    // DevicesChanged empties it.
    virtual int ChangeDescriptor() { return -1; }
};

} // namespace kaprin
