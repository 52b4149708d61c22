#include "kaprin/serial/udev_devices.h"

#include <libudev.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

namespace kaprin {

namespace {

std::string Text(const char* value) {
    return value ? std::string(value) : std::string();
}

std::string Property(udev_device* device, const char* name) {
    return device ? Text(udev_device_get_property_value(device, name)) : std::string();
}

std::string Attribute(udev_device* device, const char* name) {
    return device ? Text(udev_device_get_sysattr_value(device, name)) : std::string();
}

// The tty's own property, else its USB device's.
std::string PropertyUp(udev_device* tty, udev_device* usb, const char* name) {
    std::string value = Property(tty, name);
    return value.empty() ? Property(usb, name) : value;
}

// The driver of the nearest device above the tty that has a real one: newer kernels put
// generic "port" and "ctrl" devices between the tty and the chip's driver.
std::string DriverOf(udev_device* tty) {
    for (udev_device* up = udev_device_get_parent(tty); up; up = udev_device_get_parent(up)) {
        const std::string driver = Text(udev_device_get_driver(up));
        if (!driver.empty() && driver != "port" && driver != "ctrl")
            return driver;
    }
    return {};
}

SerialDevice Describe(udev_device* tty) {
    SerialDevice d;
    d.name = Text(udev_device_get_sysname(tty));
    d.devicePath = Text(udev_device_get_devnode(tty));
    if (d.devicePath.empty())
        d.devicePath = "/dev/" + d.name;
    std::istringstream links(Property(tty, "DEVLINKS"));
    for (std::string link; links >> link;) {
        if (link.rfind("/dev/serial/by-id/", 0) == 0 && d.byIdPath.empty())
            d.byIdPath = link;
        else if (link.rfind("/dev/serial/by-path/", 0) == 0 && d.byPathPath.empty())
            d.byPathPath = link;
    }
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    d.usb = usb != nullptr;
    d.vendorId = Attribute(usb, "idVendor");
    d.productId = Attribute(usb, "idProduct");
    d.manufacturer = Attribute(usb, "manufacturer");
    d.product = Attribute(usb, "product");
    d.serial = Attribute(usb, "serial");
    if (d.usb && d.serial.empty())
        d.serial = PropertyUp(tty, usb, "ID_SERIAL_SHORT");
    d.vendorFromDatabase = PropertyUp(tty, usb, "ID_VENDOR_FROM_DATABASE");
    d.modelFromDatabase = PropertyUp(tty, usb, "ID_MODEL_FROM_DATABASE");
    d.driver = Property(tty, "ID_USB_DRIVER");
    if (d.driver.empty())
        d.driver = DriverOf(tty);
    const DeviceFile file = InspectDeviceFile(d.devicePath);
    d.present = true; // udev lists it, whether or not this user can see its node
    d.mayOpen = file.mayOpen;
    d.group = file.group;
    return d;
}

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

} // namespace

std::vector<SerialDevice> DetectUdevSerialDevices() {
    std::vector<SerialDevice> devices;
    std::unique_ptr<udev, UdevUnref> u(udev_new());
    if (!u)
        return devices;
    std::unique_ptr<udev_enumerate, UdevUnref> scan(udev_enumerate_new(u.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0)
        return devices;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
        const char* path = udev_list_entry_get_name(entry);
        if (std::strstr(path, "/platform/serial8250") != nullptr)
            continue;
        std::unique_ptr<udev_device, UdevUnref> tty(udev_device_new_from_syspath(u.get(), path));
        if (!tty || udev_device_get_parent(tty.get()) == nullptr)
            continue; // a console or a pseudo-terminal
        devices.push_back(Describe(tty.get()));
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.name < b.name; });
    return devices;
}

UdevWatch::UdevWatch() : udev_(udev_new()) {
    if (!udev_)
        return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ &&
        (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
         udev_monitor_enable_receiving(monitor_) < 0)) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

UdevWatch::~UdevWatch() {
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

int UdevWatch::Descriptor() const {
    return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

bool UdevWatch::Changed() {
    if (!monitor_)
        return false;
    // The monitor's socket does not block: receive returns null once it is empty.
    bool changed = false;
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
        const std::string action = Text(udev_device_get_action(d));
        changed = changed || action == "add" || action == "remove";
        udev_device_unref(d);
    }
    return changed;
}

} // namespace kaprin
