// Built where the system has no journal library: records go to the log file only.
#include "kaprin/record/download_log.h"

namespace kaprin::record {

bool SendToJournal(const StampedRecord&) {
    return false;
}

} // namespace kaprin::record
