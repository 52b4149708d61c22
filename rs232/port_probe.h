// Why a port can or cannot be opened, for messages that tell the user what to do.
#pragma once

#include "rs232/rs232.h"

#include <string>
#include <sys/types.h>

namespace rs232 {

// Fills out for the device at path (already mapped), the rate baud tried on it.
void ProbeDevice(const std::string& path, int32_t baud, RS232_PortState& out);

// The process holding a lock on the file with this device and inode, from a text laid out
// like /proc/locks; 0 when none is listed.
pid_t LockHolder(const std::string& procLocks, dev_t device, ino_t inode);

} // namespace rs232
