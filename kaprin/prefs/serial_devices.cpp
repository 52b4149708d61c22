#include "kaprin/prefs/serial_devices.h"

#include "kaprin/base/port_choice.h"

#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin {

namespace fs = std::filesystem;

namespace {

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return {};
    return found->gr_name;
}

} // namespace

DeviceFile InspectDeviceFile(const std::string& path) {
    DeviceFile file;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return file;
    file.present = true;
    file.mayOpen = faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if (GroupGrantsAccess(st.st_mode, st.st_gid))
        file.group = GroupName(st.st_gid);
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    file.owner = getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found
                     ? found->pw_name
                     : std::to_string(st.st_uid);
    return file;
}

bool GroupGrantsAccess(unsigned mode, unsigned gid) {
    return (mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && gid != 0;
}

std::string DescribeDevice(const SerialDevice& d) {
    const std::string& maker = d.manufacturer.empty() ? d.vendorFromDatabase : d.manufacturer;
    const std::string& product = d.product.empty() ? d.modelFromDatabase : d.product;
    std::string text = maker;
    if (!product.empty() && product.rfind(maker, 0) != 0)
        text += (text.empty() ? "" : " ") + product;
    else if (!product.empty())
        text = product;
    if (text.empty())
        text = d.usb ? "USB serial device" : "serial port";
    std::string details;
    auto add = [&details](const std::string& part) {
        if (!part.empty())
            details += (details.empty() ? "" : ", ") + part;
    };
    if (d.usb)
        add(d.vendorId + ":" + d.productId);
    if (!d.serial.empty())
        add("serial " + d.serial);
    add(d.driver);
    return details.empty() ? text : text + " (" + details + ")";
}

std::string PortSourceText(int number, PortSource source) {
    switch (source) {
    case PortSource::Environment:
        return "RS232_" + ComName(number);
    case PortSource::Map:
        return "map";
    case PortSource::Default:
        return "default";
    case PortSource::None:
        break;
    }
    return {};
}

StablePath StablePathOf(const SerialDevice& device, const std::vector<SerialDevice>& all) {
    // Adapters without a serial number share one by-id name, which then leads to whichever
    // enumerated last.
    bool shared = false;
    for (const SerialDevice& other : all)
        shared = shared || (&other != &device && other.devicePath != device.devicePath &&
                            !device.byIdPath.empty() && other.byIdPath == device.byIdPath);
    if (!device.byIdPath.empty() && !device.serial.empty() && !shared)
        return {device.byIdPath, StoreBy::Id};
    if (!device.byPathPath.empty())
        return {device.byPathPath,
                device.serial.empty() ? StoreBy::PathNoSerial : StoreBy::PathSameId};
    return {device.devicePath, StoreBy::Device};
}

const SerialDevice* FindDevice(const std::vector<SerialDevice>& devices, const std::string& path) {
    if (path.empty())
        return nullptr;
    for (const SerialDevice& d : devices) {
        if (path == d.devicePath || path == d.byIdPath || path == d.byPathPath)
            return &d;
    }
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec)
        return nullptr;
    for (const SerialDevice& d : devices) {
        std::error_code other;
        if (fs::canonical(d.devicePath, other) == real && !other)
            return &d;
    }
    return nullptr;
}

} // namespace kaprin
