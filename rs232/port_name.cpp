#include "port_name.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace rs232 {

namespace {

std::mutex mapMutex;
std::vector<std::string> deviceMap;

// Returns the port number of "COM<n>", or -1 when the text is not such a name.
long ComNumber(const std::string& text) {
    if (text.size() < 4 || text.size() > 12)
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i])
            return -1;
    }
    long number = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return -1;
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

std::string MappedDevice(long number) {
    std::lock_guard<std::mutex> lock(mapMutex);
    if (number > static_cast<long>(deviceMap.size()))
        return std::string();
    return deviceMap[static_cast<size_t>(number - 1)];
}

} // namespace

void SetDeviceMap(std::vector<std::string> devices) {
    if (devices.size() > kMappedPorts)
        devices.resize(kMappedPorts);
    std::lock_guard<std::mutex> lock(mapMutex);
    deviceMap = std::move(devices);
}

std::string DevicePath(const std::string& name) {
    static const std::string devicePrefix = "\\\\.\\";
    std::string bare = name;
    if (bare.compare(0, devicePrefix.size(), devicePrefix) == 0)
        bare.erase(0, devicePrefix.size());

    const long number = ComNumber(bare);
    if (number < 0)
        return name;
    if (number == 0)
        return std::string();
    const std::string variable = "RS232_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0')
        return path;
    if (std::string mapped = MappedDevice(number); mapped == kNoDevice)
        return std::string();
    else if (!mapped.empty())
        return mapped;
    return "/dev/ttyS" + std::to_string(number - 1);
}

} // namespace rs232
