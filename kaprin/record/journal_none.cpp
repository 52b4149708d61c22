// Built where the system has no journal library: records go to the log file only.
#include "kaprin/record/download_log.h"
#include "kaprin/record/line_report.h"

namespace kaprin::record {

bool SendToJournal(const std::vector<std::string>&) {
    return false;
}

std::string ReadReportEntries(const std::string&, std::uint64_t, std::vector<ReportEntry>&) {
    return "this build has no journal library";
}

} // namespace kaprin::record
