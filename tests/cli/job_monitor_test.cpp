#include "kaprin/cli/job_monitor.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace kaprin::cli {
namespace {

using kaprin::test::FakeClock;
using kaprin::test::FakePellin;

// Polls the way the download run does: block, error, percent first; then percent,
// block, error until percent 100 or a non-zero error; after 100 with error 0 the code
// is read once more. Returns the polls made.
int PollLikeTheRun(PellinApi& p, FakeClock& clock) {
    p.getBlock();
    int error = p.getError();
    int percent = p.getPercent();
    int polls = 1;
    while (percent < 100 && error == 0) {
        clock.Advance(10);
        percent = p.getPercent();
        p.getBlock();
        error = p.getError();
        ++polls;
    }
    if (error == 0)
        p.getError();
    return polls;
}

struct JobCase {
    const char* name;
    std::vector<std::int32_t> percents, blocks, errors;
    bool ok;
    int code;
    int blocksSeen;
    std::uint32_t durationMs;
};

class JobEnd : public ::testing::TestWithParam<JobCase> {};

// The record ends at the poll that decides the run's outcome, with that poll's figures.
TEST_P(JobEnd, RecordFollowsTheOutcomeThePollsShow) {
    const JobCase& c = GetParam();
    FakeClock clock;
    FakePellin fake;
    fake.percents.assign(c.percents.begin(), c.percents.end());
    fake.blocks.assign(c.blocks.begin(), c.blocks.end());
    fake.errors.assign(c.errors.begin(), c.errors.end());
    JobMonitor monitor(fake, clock);
    std::vector<DownloadRecord> ended;
    monitor.onDownloadEnd = [&](const DownloadRecord& r) { ended.push_back(r); };

    monitor.usePort(2, 115200);
    monitor.BotLoad("/fw/X.PLN");
    EXPECT_TRUE(monitor.running());
    PollLikeTheRun(monitor, clock);
    clock.Advance(200); // the run's WaitMs(200) after a success is not the transfer's time
    monitor.Finish();

    ASSERT_EQ(ended.size(), 1u);
    EXPECT_FALSE(monitor.running());
    const DownloadRecord& r = ended[0];
    EXPECT_EQ(r.file, "/fw/X.PLN");
    EXPECT_EQ(r.portIndex, 2);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.blocks, c.blocksSeen);
    EXPECT_EQ(r.durationMs, c.durationMs);
    EXPECT_EQ(monitor.downloads(), 1);
    EXPECT_EQ(monitor.goodDownloads(), c.ok ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, JobEnd,
    ::testing::Values(JobCase{"good", {0, 40, 100}, {0, 3, 8}, {0, 0, 0}, true, 0, 8, 20},
                      JobCase{"checksum", {0, 40, 40}, {0, 3, 3}, {0, 0, 2}, false, 2, 3, 20},
                      // Percent 100 with a code in the same poll is a failure (the library
                      // publishes the code first).
                      JobCase{"last pass failed", {0, 100}, {0, 8}, {0, 3}, false, 3, 8, 10},
                      // The first poll already sees the end; the record closes at Finish.
                      JobCase{"at once", {100}, {8}, {0}, true, 0, 8, 0},
                      // A code that only the second read after percent 100 brings.
                      JobCase{"late code", {0, 100}, {0, 8}, {0, 0, 1}, false, 1, 8, 10},
                      JobCase{"no link", {0}, {0}, {4}, false, 4, 0, 0}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (ch == ' ')
                ch = '_';
        return n;
    });

// Any other call into the library ends an open record (the model has left its loop);
// probes report a port that cannot be used.
TEST(JobMonitor, OtherCallsEndTheJobAndProbesArePassedOn) {
    FakeClock clock;
    FakePellin fake;
    fake.percents = {100};
    fake.checkZ = {-1, 1};
    fake.checkDevice = {1};
    JobMonitor monitor(fake, clock);
    monitor.FontLoad("/fw/F.PLN");
    monitor.getPercent();
    EXPECT_TRUE(monitor.running());
    monitor.PowerOn(false);
    EXPECT_FALSE(monitor.running());
    ASSERT_TRUE(monitor.last());
    EXPECT_TRUE(monitor.last()->ok);
    EXPECT_EQ(fake.loads, std::vector<std::string>{"FontLoad:/fw/F.PLN"});
    EXPECT_FALSE(fake.powerOn);

    EXPECT_EQ(monitor.CheckZ(), -1);
    EXPECT_TRUE(monitor.portUnusable());
    EXPECT_EQ(monitor.CheckZ(), 1);
    EXPECT_FALSE(monitor.portUnusable());
    EXPECT_EQ(monitor.CheckDevice(), 1);
    monitor.BootStart(true);
    monitor.BootShutDown(true);
    monitor.BootOn(true);
    EXPECT_TRUE(fake.bootStart && fake.bootShutDown && fake.bootOn);
    EXPECT_EQ(monitor.downloads(), 1) << "a probe starts no download";
}

} // namespace
} // namespace kaprin::cli
