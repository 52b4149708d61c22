#include "port_name.h"

#include <cstdlib>
#include <mutex>

namespace rs232 {

namespace {

std::mutex mapMutex;
std::vector<std::string> deviceMap;

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

MappedName MapName(const std::string& name) {
    const long number = RS232_ComNumber(name.c_str());
    if (number < 0)
        return {name, name.empty() ? RS232_SOURCE_NONE : RS232_SOURCE_PATH};
    if (number == 0)
        return {};
    const std::string variable = "RS232_COM" + std::to_string(number);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0')
        return {path, RS232_SOURCE_ENV};
    if (std::string mapped = MappedDevice(number); mapped == kNoDevice)
        return {}; // a skipped entry names no device, never the default one
    else if (!mapped.empty())
        return {std::move(mapped), RS232_SOURCE_MAP};
    return {"/dev/ttyS" + std::to_string(number - 1), RS232_SOURCE_DEFAULT};
}

} // namespace rs232
