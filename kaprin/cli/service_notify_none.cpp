// Built without libsystemd: a station is never a notify service.
#include "kaprin/cli/service_notify.h"

namespace kaprin::cli {

void NotifyReady(const std::string&) {}
void NotifyStopping() {}

} // namespace kaprin::cli
