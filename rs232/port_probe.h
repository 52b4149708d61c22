// Why a port can or cannot be opened, for messages that tell the user what to do.
#pragma once

#include "rs232/rs232.h"

#include <string>
#include <sys/types.h>

namespace rs232 {

// Fills out for the device at path (already mapped), the rate baud tried on it.
void ProbeDevice(const std::string& path, int32_t baud, RS232_PortState& out);

// The name of the active system console that the device at path is ("ttyS0"), or "" when
// it is none. activeList is laid out like /sys/class/tty/console/active ("tty0 ttyS0"), the
// console names are looked up in devRoot; the kernel writes its messages there and a getty
// may read from it, so it is no place for a scanner.
std::string ActiveConsoleOf(const std::string& path, const std::string& activeList,
                            const std::string& devRoot);
// The same for the running system.
std::string ActiveConsoleOf(const std::string& path);

// The process holding a lock on the file with this device and inode, from a text laid out
// like /proc/locks; 0 when none is listed.
pid_t LockHolder(const std::string& procLocks, dev_t device, ino_t inode);

} // namespace rs232
