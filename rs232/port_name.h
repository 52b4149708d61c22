// Mapping of the program's port names to device paths.
#pragma once

#include <string>

namespace rs232 {

// "\\.\COM<n>" or "COM<n>" (any case): the value of RS232_COM<n> when set and not empty, else
// /dev/ttyS<n-1>. Anything else is taken as a path. Returns an empty string for "COM0" and for
// an empty name.
std::string MapPortName(const std::string& name);

} // namespace rs232
