#include "kaprin/record/download_log.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace kaprin::record {
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

StampedRecord Stamped(int port, std::string image, RecordOutcome outcome, int code) {
    StampedRecord s;
    s.record.portIndex = port;
    s.record.image = std::move(image);
    s.record.outcome = outcome;
    s.record.code = code;
    s.host = "st3";
    s.device = "/dev/ttyUSB0";
    return s;
}

// Six columns whatever the outcome; an interrupted transfer shows no code, and no byte of
// a field can start a column or a line.
TEST(DownloadLog, LineColumns) {
    StampedRecord good = Stamped(2, "/fw/X 1.PLN", RecordOutcome::Ok, 0);
    good.record.durationMs = 12345;
    good.record.blocks = 8;
    good.record.imageSha256 = "ab01";
    EXPECT_EQ(FormatLogLine(good, LocalTime(2026, 12, 8, 7, 41, 2), 3600),
              "2026-12-08 07:41:02 +0100\tCOM3\t/fw/X 1.PLN\tok 0\t12.345 s\t8 blocks host=st3 "
              "device=/dev/ttyUSB0 sha256=ab01");

    StampedRecord bad = Stamped(19, "/fw/o\td\nd\r\\\x01\x7f.PLN\tok 0", RecordOutcome::Failed, 2);
    bad.record.durationMs = 40;
    bad.device = "/dev/tty\tX";
    EXPECT_EQ(FormatLogLine(bad, LocalTime(2027, 1, 31, 23, 5, 9), -(3 * 3600 + 1800)),
              "2027-01-31 23:05:09 -0330\tCOM20\t/fw/o\\td\\nd\\r\\\\\\x01\\x7F.PLN\\tok 0\tfailed "
              "2\t0.040 s\t0 blocks host=st3 device=/dev/tty\\tX sha256=-");

    StampedRecord cut = Stamped(0, "/fw/Y.PLN", RecordOutcome::Interrupted, 0);
    EXPECT_NE(FormatLogLine(cut, LocalTime(2027, 1, 1, 0, 0, 0), 0).find("\tinterrupted\t"),
              std::string::npos);
}

// Two stations appending to one file at the same time leave whole lines only.
TEST(DownloadLog, StationsSharingAFileNeverInterleave) {
    kaprin::test::TempDir dir;
    std::string path = dir / "line.log";
    constexpr int kLines = 300;
    auto station = [&](int port) {
        const std::string line = FormatLogLine(
            Stamped(port, std::string(200, 'a' + port), RecordOutcome::Ok, 0), std::tm{}, 0);
        for (int i = 0; i < kLines; ++i)
            ASSERT_EQ(AppendLine(path, line), "");
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

// The digest of known contents; nothing for what is not a readable regular file.
TEST(DownloadLog, Sha256OfFile) {
    kaprin::test::TempDir dir;
    EXPECT_EQ(Sha256OfFile(dir.Write("abc", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256OfFile(dir.Write("empty", "")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256OfFile(dir / "none"), "");
    EXPECT_EQ(Sha256OfFile(dir.path().string()), "");
}

// A line cut short by a full disk is not glued to the next one.
TEST(DownloadLog, LineAfterACutLineStartsAfresh) {
    kaprin::test::TempDir dir;
    const std::string path = dir.Write("cut.log", "2026-12-08 07:41:02 +0100\tCOM3\t/fw/X");
    ASSERT_EQ(AppendLine(path, "next"), "");
    ASSERT_EQ(AppendLine(path, "last"), "");
    EXPECT_EQ(dir.Read("cut.log"), "2026-12-08 07:41:02 +0100\tCOM3\t/fw/X\nnext\nlast\n");
}

// The writer appends to the path it is given at each transfer, reports a file it cannot
// write once, counts the lines lost, and says so when writing works again.
TEST(DownloadLog, WriterFollowsTheChosenFile) {
    kaprin::test::TempDir dir;
    std::string path = dir / "a.log";
    RecordWriter writer([&] { return path; },
                        [](std::int32_t index) { return "/dev/ttyS" + std::to_string(index); });
    std::vector<std::string> errors;
    writer.onLogError = [&](const std::string& p, const std::string&) { errors.push_back(p); };
    std::vector<int> recovered;
    writer.onLogRecovered = [&](const std::string&, int lost) { recovered.push_back(lost); };
    DownloadRecord r;
    r.image = "/fw/X.PLN";
    r.outcome = RecordOutcome::Ok;
    writer.Write(r);
    path = dir / "no/such/b.log";
    writer.Write(r);
    r.outcome = RecordOutcome::Interrupted;
    writer.Write(r);
    path = dir / "a.log";
    writer.Write(r);
    path.clear();
    writer.Write(r);
    EXPECT_NE(dir.Read("a.log").find("\tCOM1\t/fw/X.PLN\tok 0\t"), std::string::npos);
    EXPECT_NE(dir.Read("a.log").find(" device=/dev/ttyS0 "), std::string::npos);
    EXPECT_EQ(errors, std::vector<std::string>{dir / "no/such/b.log"});
    EXPECT_EQ(recovered, std::vector<int>{2});
    EXPECT_EQ(SummaryText(writer, 1), "5 download(s): 2 good, 0 failed, 3 interrupted; 1 "
                                      "alert(s); 2 record(s) not written to the log file");
}

} // namespace
} // namespace kaprin::record
