// Tells the service manager how the station stands (sd_notify): ready once its port has
// been checked, stopping when it closes. Does nothing outside a notify service, or in a
// build without libsystemd.
#pragma once

#include <string>

namespace kaprin::cli {

void NotifyReady(const std::string& status);
void NotifyStopping();

} // namespace kaprin::cli
