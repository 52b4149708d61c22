// Mapping of the program's port names to device paths.
#pragma once

#include <string>
#include <vector>

namespace rs232 {

// The process's map of COM numbers to devices: entry i is the device for COM<i+1>, "" when the
// number is not mapped, kNoDevice when it maps to nothing. Replaces the whole map;
// thread-safe.
inline const std::string kNoDevice = std::string(1, '\0');
constexpr int kMappedPorts = 20;
void SetDeviceMap(std::vector<std::string> devices);

// "\\.\COM<n>" or "COM<n>" (any case): the value of RS232_COM<n> when set and not empty, else
// the device map's entry, else /dev/ttyS<n-1>. Anything else is taken as a path. Returns an
// empty string for "COM0" and for an empty name.
std::string DevicePath(const std::string& name);

} // namespace rs232
