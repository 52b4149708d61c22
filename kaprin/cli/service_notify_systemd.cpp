#include "kaprin/cli/service_notify.h"

#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace kaprin::cli {

void NotifyReady(const std::string& status) {
    sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1");
}

void NotifyStatus(const std::string& status) {
    sd_notifyf(0, "STATUS=%s", status.c_str());
}

void NotifyStoppingExtended(std::uint64_t extendUsec, const std::string& status) {
    if (extendUsec == 0)
        sd_notifyf(0, "STOPPING=1\nSTATUS=%s", status.c_str());
    else
        sd_notifyf(0, "STOPPING=1\nEXTEND_TIMEOUT_USEC=%llu\nSTATUS=%s",
                   static_cast<unsigned long long>(extendUsec), status.c_str());
}

bool UnderServiceManager() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

} // namespace kaprin::cli
