// The line report: per station, what the journal's download entries say about a shift.
// The entries come from the journal itself (sd-journal), local or a collector's folder.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kaprin::record {

// The fields of one download entry the report needs.
struct ReportEntry {
    std::string host;
    std::string station;
    std::string outcome; // "ok", "failed", "interrupted", "refused"
    std::string code;
    std::string unit;
    std::uint64_t usec = 0; // the entry's time, microseconds since the epoch
};

struct StationSummary {
    std::string host;
    std::string station;
    int downloads = 0; // transfers begun: ok, failed and interrupted
    int good = 0;
    std::map<std::string, int> failedByCode; // "interrupted" for those without a code
    int refused = 0;
    // Units good at their first transfer over units transferred; a download without a
    // unit id is a unit of its own. Nothing when no unit was transferred.
    std::optional<double> firstPassYield;
    // The median time between one transfer's end and the next's, in seconds.
    std::optional<double> medianCycleSeconds;
};

// Entries in any order; stations ordered by host, then name.
std::vector<StationSummary> Summarise(std::vector<ReportEntry> entries);

std::string FormatReport(const std::vector<StationSummary>& stations);
nlohmann::json ReportJson(const std::vector<StationSummary>& stations);

// "2026-12-08", "2026-12-08 06:00[:00]" (local time), "today", "yesterday", or "-8h"
// (also m, d) before `nowUsec`; nothing when the text is none of these.
std::optional<std::uint64_t> ParseSince(const std::string& text, std::uint64_t nowUsec);

// Reads the download entries from `journalDir` (empty: the local journal) since the
// time; an empty text, or why the journal cannot be read.
std::string ReadReportEntries(const std::string& journalDir, std::uint64_t sinceUsec,
                              std::vector<ReportEntry>& out);

} // namespace kaprin::record
