#include "kaprin/cli/service_notify.h"

#include <systemd/sd-daemon.h>

namespace kaprin::cli {

void NotifyReady(const std::string& status) {
    sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1");
}

} // namespace kaprin::cli
