// Built without libsystemd: a station is never a notify service.
#include "kaprin/cli/service_notify.h"

namespace kaprin::cli {

void NotifyReady(const std::string&) {}
void NotifyStopping() {}
void NotifyStatus(const std::string&) {}
void NotifyStoppingExtended(std::uint64_t, const std::string&) {}
bool UnderServiceManager() {
    return false;
}

} // namespace kaprin::cli
