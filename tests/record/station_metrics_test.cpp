#include "kaprin/record/station_metrics.h"

#include "temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kaprin::record {
namespace {

nlohmann::json Outcome(const char* outcome, unsigned ms) {
    return {{"outcome", outcome}, {"duration_ms", ms}};
}

// After a mixed run the file holds the counts, the histogram and the state, replaces the
// previous one whole, and passes promtool's check where promtool is installed.
TEST(StationMetrics, FileAfterDownloads) {
    StationMetrics m("serial/by-id/usb-X");
    for (auto o : {Outcome("ok", 12000), Outcome("ok", 16000), Outcome("failed", 3000),
                   Outcome("refused", 0), Outcome("interrupted", 400000)})
        m.Count(o);
    m.SetState("alert");
    const std::string text = m.Text();
    const std::string st = "station=\"serial/by-id/usb-X\"";
    for (const std::string& want : {"kaprin_downloads_total{" + st + ",outcome=\"ok\"} 2\n",
                                    "kaprin_downloads_total{" + st + ",outcome=\"refused\"} 1\n",
                                    "kaprin_transfer_seconds_bucket{" + st + ",le=\"5\"} 1\n",
                                    "kaprin_transfer_seconds_bucket{" + st + ",le=\"15\"} 2\n",
                                    "kaprin_transfer_seconds_bucket{" + st + ",le=\"300\"} 3\n",
                                    "kaprin_transfer_seconds_bucket{" + st + ",le=\"+Inf\"} 4\n",
                                    "kaprin_transfer_seconds_sum{" + st + "} 431\n",
                                    "kaprin_station_state{" + st + ",state=\"alert\"} 1\n",
                                    "kaprin_station_state{" + st + ",state=\"waiting\"} 0\n"})
        EXPECT_NE(text.find(want), std::string::npos) << want << text;
    EXPECT_EQ(text.find("kaprin_last_good_download_timestamp_seconds{" + st + "} 0\n"),
              std::string::npos);

    kaprin::test::TempDir dir;
    ASSERT_EQ(StationMetrics("x").WriteTo(dir.path().string()), "");
    ASSERT_EQ(m.WriteTo(dir.path().string()), "");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"kaprin-serial_by-id_usb-X.prom", "kaprin-x.prom"}));
    EXPECT_EQ(dir.Read("kaprin-serial_by-id_usb-X.prom"), text);
    EXPECT_NE(m.WriteTo(dir / "none"), "");

    if (std::system("command -v promtool >/dev/null") != 0) {
        std::printf("[ promtool ] not installed: the metrics format is not checked\n");
        return;
    }
    const std::string command =
        "promtool check metrics < '" + dir / "kaprin-serial_by-id_usb-X.prom" + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << text;
}

} // namespace
} // namespace kaprin::record
