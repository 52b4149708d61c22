#include "kaprin/record/line_report.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace kaprin::record {
namespace {

constexpr std::uint64_t kS = 1000000;

// Per station: transfers, failures by code, refusals apart; a unit's first transfer
// decides its first pass, a download without a unit id is a unit of its own; the median
// of the gaps between transfers.
TEST(LineReport, Summarise) {
    std::vector<ReportEntry> entries = {
        {"h1", "ttyUSB0", "ok", "0", "U1", 100 * kS},
        {"h1", "ttyUSB0", "failed", "2", "U2", 130 * kS},
        {"h1", "ttyUSB0", "ok", "0", "U2", 150 * kS}, // U2 again: good, but not at first
        {"h1", "ttyUSB0", "refused", "", "U3", 155 * kS},
        {"h1", "ttyUSB0", "interrupted", "", "", 200 * kS},
        {"h1", "ttyUSB0", "ok", "0", "", 210 * kS},
        {"h0", "ttyS0", "refused", "", "", 5 * kS},
    };
    std::swap(entries[0], entries[4]); // the journal's order is not relied on
    const std::vector<StationSummary> s = Summarise(entries);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].station, "ttyS0");
    EXPECT_EQ(s[0].refused, 1);
    EXPECT_EQ(s[0].downloads, 0);
    EXPECT_FALSE(s[0].firstPassYield);
    EXPECT_FALSE(s[0].medianCycleSeconds);

    const StationSummary& u = s[1];
    EXPECT_EQ(u.downloads, 5);
    EXPECT_EQ(u.good, 3);
    EXPECT_EQ(u.failedByCode, (std::map<std::string, int>{{"2", 1}, {"interrupted", 1}}));
    EXPECT_EQ(u.refused, 1);
    EXPECT_DOUBLE_EQ(*u.firstPassYield, 2.0 / 4); // U1, U2, and two without ids
    EXPECT_DOUBLE_EQ(*u.medianCycleSeconds, 25);  // gaps 30, 20, 50, 10
    EXPECT_EQ(ReportJson(s)["stations"][1]["failed_by_code"]["2"], 1);
    EXPECT_NE(FormatReport(s).find("h1\tttyUSB0\t5\t3\t2:1, interrupted:1\t1\t50.0 %\t25.0 s\n"),
              std::string::npos)
        << FormatReport(s);
}

// The times --since takes, and what it refuses.
TEST(LineReport, Since) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::uint64_t now = 1765256831 * kS; // 2025-12-09 05:07:11 UTC
    struct Row {
        const char* text;
        std::optional<std::uint64_t> want;
    };
    const std::vector<Row> rows = {
        {"2025-12-08", 1765152000 * kS},
        {"2025-12-08 06:30:15", (1765152000 + 6 * 3600 + 1800 + 15) * kS},
        {"today", 1765238400 * kS},
        {"yesterday", 1765152000 * kS},
        {"-8h", now - 8 * 3600 * kS},
        {"-2d", now - 2 * 86400 * kS},
        {"-99999999d", std::nullopt},
        {"-8x", std::nullopt},
        {"2025-13-01", std::nullopt},
        {"2025-12-08x", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseSince(row.text, now), row.want) << row.text;
}

} // namespace
} // namespace kaprin::record
