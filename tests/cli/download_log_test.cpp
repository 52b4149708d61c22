#include "kaprin/cli/download_log.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace kaprin::cli {
namespace {

std::tm LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

// The six columns: local time with its offset, port, file, outcome and code, seconds,
// blocks; one line whatever the file's name holds.
TEST(DownloadLog, LineColumns) {
    DownloadRecord good;
    good.portIndex = 2;
    good.file = "/fw/X 1.PLN";
    good.ok = true;
    good.durationMs = 12345;
    good.blocks = 8;
    EXPECT_EQ(FormatLogLine(good, LocalTime(2026, 12, 8, 7, 41, 2), 3600),
              "2026-12-08 07:41:02 +0100\tCOM3\t/fw/X 1.PLN\tok 0\t12.345 s\t8 blocks");

    DownloadRecord bad;
    bad.portIndex = 19;
    bad.file = "/fw/odd\nname.PLN";
    bad.code = 2;
    bad.durationMs = 40;
    bad.blocks = 0;
    EXPECT_EQ(FormatLogLine(bad, LocalTime(2027, 1, 31, 23, 5, 9), -(3 * 3600 + 1800)),
              "2027-01-31 23:05:09 -0330\tCOM20\t/fw/odd name.PLN\tfailed 2\t0.040 s\t0 blocks");
}

// Two stations appending to one file at the same time leave whole lines only.
TEST(DownloadLog, StationsSharingAFileNeverInterleave) {
    kaprin::test::TempDir dir;
    std::string path = dir / "line.log";
    constexpr int kLines = 300;
    auto station = [&](int port) {
        DownloadLog log;
        ASSERT_EQ(log.Open(path), "");
        DownloadRecord r;
        r.portIndex = port;
        r.file = std::string(200, 'a' + port);
        r.ok = true;
        for (int i = 0; i < kLines; ++i)
            ASSERT_TRUE(log.Append(r));
    };
    std::thread a(station, 0), b(station, 1);
    a.join();
    b.join();

    std::istringstream in(dir.Read("line.log"));
    std::string line;
    int count[2] = {0, 0};
    while (std::getline(in, line)) {
        bool one = line.find("\tCOM1\t" + std::string(200, 'a') + "\t") != std::string::npos;
        bool two = line.find("\tCOM2\t" + std::string(200, 'b') + "\t") != std::string::npos;
        ASSERT_TRUE(one != two) << line;
        ++count[one ? 0 : 1];
    }
    EXPECT_EQ(count[0], kLines);
    EXPECT_EQ(count[1], kLines);
}

} // namespace
} // namespace kaprin::cli
