#include "kaprin/record/download_log.h"
#include "kaprin/record/outcome_event.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <unistd.h>

namespace kaprin::record {
namespace {

std::set<std::string> Keys(const nlohmann::json& o) {
    std::set<std::string> keys;
    for (const auto& [key, value] : o.items())
        keys.insert(key);
    return keys;
}

// Every event goes out as one line with the schema version, its name, its UTC time and
// the station; the outcome carries every field of the record. A file name that is not
// UTF-8 does not stop the stream.
TEST(OutcomeEvent, Schema) {
    const auto t = std::chrono::system_clock::time_point(std::chrono::milliseconds(1765256831120));
    StampedRecord s;
    s.record.image = "/fw/\xff.PLN";
    s.record.outcome = RecordOutcome::Failed;
    s.record.code = 3;
    s.started = t;
    s.station = "ttyUSB0";
    nlohmann::json downloading = EventObject("downloading", t);
    downloading["percent"] = 40;
    downloading["block"] = 3;
    const std::set<std::string> common{"v", "event", "time", "station"};
    struct Row {
        nlohmann::json event;
        std::set<std::string> more;
    };
    const std::vector<Row> rows = {
        {EventObject("waiting", t), {}},
        {EventObject("device_found", t), {}},
        {downloading, {"percent", "block"}},
        {OutcomeObject(s),
         {"started", "host", "port", "device", "image", "image_sha256", "outcome", "code", "blocks",
          "duration_ms", "unit", "operator", "order"}},
    };
    kaprin::test::TempDir dir;
    EventStream stream;
    ASSERT_EQ(stream.Open(dir / "events.jsonl"), "");
    stream.station = "ttyUSB0";
    for (const Row& row : rows)
        stream.Emit(row.event);

    std::istringstream in(dir.Read("events.jsonl"));
    std::string line;
    for (const Row& row : rows) {
        ASSERT_TRUE(std::getline(in, line));
        const nlohmann::json got = nlohmann::json::parse(line);
        std::set<std::string> want = common;
        want.insert(row.more.begin(), row.more.end());
        EXPECT_EQ(Keys(got), want) << line;
        EXPECT_EQ(got["v"], kEventSchemaVersion);
        EXPECT_EQ(got["station"], "ttyUSB0");
    }
    EXPECT_EQ(IsoUtc(t), "2025-12-09T05:07:11.120Z");
}

// A watcher that goes away ends the stream with one report; the station goes on.
TEST(OutcomeEvent, ClosedWatcherEndsTheStream) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EventStream stream;
    ASSERT_EQ(stream.Open(std::to_string(fds[1])), "");
    int errors = 0;
    stream.onError = [&](const std::string&) { ++errors; };
    close(fds[0]);
    signal(SIGPIPE, SIG_IGN);
    stream.Emit(EventObject("waiting", {}));
    stream.Emit(EventObject("waiting", {}));
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(stream.open());
    close(fds[1]);
    EXPECT_NE(stream.Open("12345"), "");
}

} // namespace
} // namespace kaprin::record
