// Mapping of the program's port names to device paths.
#pragma once

#include "rs232/rs232.h"

#include <string>
#include <vector>

namespace rs232 {

// The process's map of COM numbers to devices: entry i is the device for COM<i+1>, "" when the
// number is not mapped, kNoDevice when it maps to nothing. Replaces the whole map;
// thread-safe.
inline const std::string kNoDevice = std::string(1, '\0');
constexpr int kMappedPorts = 20;
void SetDeviceMap(std::vector<std::string> devices);

struct MappedName {
    std::string path;                   // "" when the name maps to nothing
    int32_t source = RS232_SOURCE_NONE; // one of RS232_SOURCE_
};

// "\\.\COM<n>" or "COM<n>" (any case): the value of RS232_COM<n> when set and not empty,
// else the device map's entry, else /dev/ttyS<n-1>. Anything else is taken as a path.
// "COM0" and an empty name map to nothing.
MappedName MapName(const std::string& name);

} // namespace rs232
