#include "kaprin/prefs/serial_devices.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin {

namespace fs = std::filesystem;

namespace {

// A sysfs attribute: one short line. Anything unreadable is empty.
std::string ReadAttribute(const fs::path& path) {
    std::ifstream in(path);
    std::string text;
    if (!in || !std::getline(in, text))
        return {};
    if (text.size() > 256)
        text.resize(256);
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

// The last component of where a sysfs link leads ("ftdi_sio" for a driver link).
std::string LinkName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return {};
    return found->gr_name;
}

// The USB device above an interface or a port: the first folder up that has idVendor.
fs::path UsbDeviceOf(const fs::path& device, const fs::path& sysRoot) {
    std::error_code ec;
    fs::path dir = device;
    for (int up = 0; up < 6 && dir.has_relative_path(); ++up) {
        if (fs::exists(dir / "idVendor", ec))
            return dir;
        if (dir == sysRoot)
            break;
        dir = dir.parent_path();
    }
    return {};
}

// by-id link name of each device name, the first one in sorted order when there are several.
std::map<std::string, std::string> ByIdLinks(const fs::path& devRoot) {
    std::map<std::string, std::string> links;
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(devRoot / "serial" / "by-id", ec), end; !ec && it != end;
         it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& link : entries) {
        const fs::path target = fs::read_symlink(link, ec);
        if (ec)
            continue;
        links.emplace(target.filename().string(), link.string());
    }
    return links;
}

} // namespace

std::vector<SerialDevice> DetectSerialDevices(const std::string& sysRoot,
                                              const std::string& devRoot) {
    std::vector<SerialDevice> devices;
    const auto byId = ByIdLinks(devRoot);
    std::error_code ec;
    const fs::path sys = fs::weakly_canonical(sysRoot, ec);
    for (fs::directory_iterator it(fs::path(sysRoot) / "class" / "tty", ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path link = it->path() / "device";
        std::error_code linkError;
        const fs::path device = fs::canonical(link, linkError);
        if (linkError)
            continue; // a console or a pseudo-terminal
        SerialDevice d;
        d.name = it->path().filename().string();
        // The platform registers its legacy 8250 ports whether or not a chip answers there.
        if (device.string().find("/platform/serial8250") != std::string::npos)
            continue;
        d.driver = LinkName(device / "driver");
        // Newer kernels put generic "port" and "ctrl" devices between the tty and the real
        // driver.
        auto generic = [](const std::string& driver) {
            return driver == "port" || driver == "ctrl";
        };
        for (fs::path up = device.parent_path(); generic(d.driver) && up.has_relative_path() &&
                                                 up.string().size() > sys.string().size();
             up = up.parent_path()) {
            if (const std::string above = LinkName(up / "driver"); !above.empty())
                d.driver = above;
        }
        d.devicePath = (fs::path(devRoot) / d.name).string();
        if (auto found = byId.find(d.name); found != byId.end())
            d.byIdPath = found->second;
        if (const fs::path usb = UsbDeviceOf(device, sys); !usb.empty()) {
            d.usb = true;
            d.vendorId = ReadAttribute(usb / "idVendor");
            d.productId = ReadAttribute(usb / "idProduct");
            d.manufacturer = ReadAttribute(usb / "manufacturer");
            d.product = ReadAttribute(usb / "product");
            d.serial = ReadAttribute(usb / "serial");
        }
        const DeviceFile file = InspectDeviceFile(d.devicePath);
        d.present = file.present;
        d.mayOpen = file.mayOpen;
        d.group = file.group;
        devices.push_back(std::move(d));
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.name < b.name; });
    return devices;
}

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
    std::string text = d.manufacturer;
    if (!d.product.empty() && d.product.rfind(d.manufacturer, 0) != 0)
        text += (text.empty() ? "" : " ") + d.product;
    else if (!d.product.empty())
        text = d.product;
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

std::string PortSource(int number, const comm::PortMap& map) {
    const std::string variable = "RS232_COM" + std::to_string(number);
    if (const char* set = std::getenv(variable.c_str()); set != nullptr && *set != '\0')
        return variable;
    const bool mapped =
        number >= 1 && number <= comm::kPorts && !map[static_cast<std::size_t>(number - 1)].empty();
    return mapped ? "map" : "default";
}

std::string StablePath(const SerialDevice& device) {
    return device.byIdPath.empty() ? device.devicePath : device.byIdPath;
}

const SerialDevice* FindDevice(const std::vector<SerialDevice>& devices, const std::string& path) {
    if (path.empty())
        return nullptr;
    for (const SerialDevice& d : devices) {
        if (path == d.devicePath || path == d.byIdPath)
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
