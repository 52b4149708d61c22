// Tells the service manager how the station stands (sd_notify): ready once its port has
// been checked, stopping when it closes. Does nothing outside a notify service, or in a
// build without libsystemd.
#pragma once

#include <cstdint>
#include <string>

namespace kaprin::cli {

void NotifyReady(const std::string& status);
void NotifyStopping();
void NotifyStatus(const std::string& status);
// STOPPING=1 with the status, and EXTEND_TIMEOUT_USEC= when `extendUsec` is not 0: the stop
// may take that much longer from now.
void NotifyStoppingExtended(std::uint64_t extendUsec, const std::string& status);
// Started by a service manager that reads these messages.
bool UnderServiceManager();

} // namespace kaprin::cli
