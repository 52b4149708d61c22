// A line's stations send their journals to one collector: entries written by a station
// reach a systemd-journal-remote on 127.0.0.1 through systemd-journal-upload, every
// KAPRIN_* field intact, and the line report reads the collector's files.
#include "kaprin/record/download_log.h"
#include "kaprin/record/line_report.h"

#include "temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kaprin::record {
namespace {

const char* const kRemote = "/lib/systemd/systemd-journal-remote";
const char* const kUpload = "/usr/lib/systemd/systemd-journal-upload";

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

bool Accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
}

TEST(JournalCollector, StationEntriesReachTheCollector) {
    if (access(kRemote, X_OK) != 0 || access(kUpload, X_OK) != 0 ||
        std::system("command -v journalctl >/dev/null") != 0) {
        std::printf("[ skipped  ] systemd-journal-remote is not installed\n");
        return;
    }
    kaprin::test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "station");
    std::filesystem::create_directories(dir.path() / "collector");

    // 1. A station's shift: three downloads and a refusal, each unit with its id.
    std::vector<nlohmann::json> outcomes;
    std::string exported;
    const std::uint64_t shift = 1765256831ull * 1000000;
    const RecordOutcome how[] = {RecordOutcome::Ok, RecordOutcome::Failed, RecordOutcome::Ok,
                                 RecordOutcome::Refused};
    for (int i = 0; i < 4; ++i) {
        StampedRecord s;
        s.record.image = "/srv/fw/FW 1.PLN";
        s.record.imageSha256 = std::string(64, 'a');
        s.record.outcome = how[i];
        s.record.code = how[i] == RecordOutcome::Failed ? 4 : 0;
        s.record.durationMs = 15000;
        s.host = "st7";
        s.device = "/dev/ttyUSB0";
        s.station = "ttyUSB0";
        s.identity = {"SN-" + std::to_string(i), "ann", "WO 7"};
        outcomes.push_back(OutcomeObject(s));
        // The journal's export format.
        exported += "__REALTIME_TIMESTAMP=" + std::to_string(shift + i * 60000000ull) + "\n";
        for (const std::string& f : JournalFields(outcomes.back()))
            exported += f + "\n";
        exported += "\n";
    }
    dir.Write("station.export", exported);
    const std::string make = std::string(kRemote) + " -o '" + dir / "station/system.journal" +
                             "' - < '" + dir / "station.export" + "' 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);

    // 2. The collector, then the upload.
    const int port = FreePort();
    const std::string listen = "--listen-http=127.0.0.1:" + std::to_string(port);
    const std::string output = "--output=" + dir / "collector" + "/";
    const pid_t collector = fork();
    ASSERT_GE(collector, 0);
    if (collector == 0) {
        dup2(open("/dev/null", O_WRONLY), 2);
        execl(kRemote, kRemote, listen.c_str(), output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && !Accepts(port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string upload = std::string(kUpload) +
                               " --url=http://127.0.0.1:" + std::to_string(port) +
                               " --follow=no -D '" + dir / "station" + "' 2>/dev/null";
    const int uploaded = std::system(upload.c_str());
    kill(collector, SIGTERM);
    waitpid(collector, nullptr, 0);
    ASSERT_EQ(uploaded, 0);

    // 3. Every field of every download at the collector.
    const std::string json = dir / "collector.json";
    const std::string read =
        "journalctl -D '" + dir / "collector" + "' -o json --no-pager > '" + json + "'";
    ASSERT_EQ(std::system(read.c_str()), 0);
    std::map<std::string, nlohmann::json> byUnit;
    std::istringstream in(dir.Read("collector.json"));
    for (std::string line; std::getline(in, line);) {
        nlohmann::json e = nlohmann::json::parse(line);
        byUnit[e.value("KAPRIN_UNIT", "")] = e;
    }
    for (const nlohmann::json& o : outcomes) {
        const nlohmann::json& e = byUnit[o["unit"].get<std::string>()];
        int fields = 0;
        for (const std::string& f : JournalFields(o)) {
            if (f.rfind("KAPRIN_", 0) != 0)
                continue;
            const auto eq = f.find('=');
            EXPECT_EQ(e.value(f.substr(0, eq), "(absent)"), f.substr(eq + 1)) << o["unit"];
            ++fields;
        }
        EXPECT_EQ(fields, 14); // started to order
    }

    // 4. The report reads the collector's files, from a given time on.
    std::vector<ReportEntry> entries;
    ASSERT_EQ(ReadReportEntries(dir / "collector", 0, entries), "");
    EXPECT_EQ(Summarise(entries).at(0).refused, 1);
    entries.clear();
    ASSERT_EQ(ReadReportEntries(dir / "collector", shift + 90000000ull, entries), "");
    EXPECT_EQ(entries.size(), 2u);
}

} // namespace
} // namespace kaprin::record
