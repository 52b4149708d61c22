// The exports' own rules: port naming, the read-and-clear getters, and one user of the port at
// a time.
#include "engine.h"
#include "fake_port.h"
#include "pln_image.h"
#include "record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using pellintest::FakePort;

namespace {

struct PortCase {
    int32_t index;
    int32_t baud;
    const char* name; // nullptr: refused
};

class UsePort : public ::testing::TestWithParam<PortCase> {};

// usePort names "\\.\COM<index + 1>" and hands it with the rate and 0, 8, 0 to PortInit; a
// number that does not fit the name buffer is refused and the old name kept.
TEST_P(UsePort, NamesThePort) {
    const PortCase& c = GetParam();
    FakePort port;
    port.portInitResult = 7;
    pellin::Engine engine(port.Transport(), port.Clock());
    const int32_t result = engine.usePort(c.index, c.baud);
    if (c.name == nullptr) {
        EXPECT_NE(result, 0);
        EXPECT_STREQ(engine.PortName(), "\\\\.\\COM1");
        EXPECT_TRUE(port.calls.empty());
        return;
    }
    EXPECT_EQ(result, 7); // PortInit's result, unchanged
    EXPECT_STREQ(engine.PortName(), c.name);
    EXPECT_EQ(port.portInitName, c.name);
    EXPECT_EQ(port.portInitArgs, (std::vector<int32_t>{c.baud, 0, 8, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, UsePort,
    ::testing::Values(PortCase{0, 115200, "\\\\.\\COM1"}, PortCase{9, 9600, "\\\\.\\COM10"},
                      PortCase{9998, 19200, "\\\\.\\COM9999"}, PortCase{9999, 19200, nullptr},
                      PortCase{-1, 19200, nullptr}, PortCase{2147483647, 19200, nullptr}));

class Getters : public ::testing::Test {
protected:
    FakePort port;
    pellin::Engine engine{port.Transport(), port.Clock()};
};

// getPercent clears a 100 when it returns it, and only then.
TEST_F(Getters, PercentHundredIsReportedOnce) {
    engine.State().percent.store(57);
    EXPECT_EQ(engine.getPercent(), 57);
    EXPECT_EQ(engine.getPercent(), 57);
    engine.State().percent.store(100);
    EXPECT_EQ(engine.getPercent(), 100);
    EXPECT_EQ(engine.getPercent(), 0);
}

// getError returns the code and clears it.
TEST_F(Getters, ErrorIsReadAndCleared) {
    engine.State().error.store(5);
    EXPECT_EQ(engine.getError(), 5);
    EXPECT_EQ(engine.getError(), 0);
}

// A launcher that keeps the job until the test runs it: the worker "runs" meanwhile.
class WhileWorkerRuns : public ::testing::Test {
protected:
    FakePort port;
    std::vector<std::function<void()>> jobs;
    pellin::Engine engine{port.Transport(), port.Clock(), [this](std::function<void()> job) {
                              jobs.push_back(std::move(job));
                              return true;
                          }};
    kaprin::test::TempDir dir;
};

// While a worker runs, a second job and every probe are refused (a probe after waiting for
// the job to end); the flags may change.
TEST_F(WhileWorkerRuns, JobsAndProbesAreRefused) {
    port.device = FakePort::AckEverything();
    const std::string path = dir.Write("a.pln", testsupport::DataRecord(0, {1}) + "\r\n");
    engine.BotLoad(path.c_str());
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(engine.Busy());
    engine.State().percent.store(42);

    engine.BotLoad(path.c_str());
    engine.FontLoad(path.c_str());
    EXPECT_EQ(jobs.size(), 1u);
    EXPECT_EQ(engine.State().percent.load(), 42); // the refused job reset nothing
    const uint32_t before = port.nowMs;
    EXPECT_EQ(engine.CheckZ(), -1);
    EXPECT_GE(port.nowMs.load() - before, pellin::kProbeWaitForJobMs);
    EXPECT_EQ(engine.CheckDevice(), 0);
    engine.TESTFUNC(1);
    EXPECT_TRUE(port.calls.empty());
    engine.BootShutDown(1);

    jobs[0]();
    EXPECT_FALSE(engine.Busy());
    EXPECT_EQ(port.writes.back(), pellin::kShutDownFrame);
    EXPECT_EQ(engine.getError(), 0);
    EXPECT_EQ(engine.CheckZ(), 1);
}

// A probe right after a job's result (while its shut-down frame is still under way) waits
// for the job to close the port and then probes, instead of reporting no port or no device.
TEST_F(WhileWorkerRuns, ProbeWaitsForTheEndOfAJob) {
    port.device = FakePort::AckEverything();
    engine.BootShutDown(1);
    engine.BotLoad(dir.Write("a.pln", testsupport::DataRecord(0, {1}) + "\r\n").c_str());
    ASSERT_EQ(jobs.size(), 1u);
    // The job's last steps run while the probe waits.
    int probeSleeps = 0;
    port.onSleep = [&] {
        if (++probeSleeps == 3)
            jobs[0]();
    };
    EXPECT_EQ(engine.CheckZ(), 1);
    EXPECT_GE(probeSleeps, 3);
    EXPECT_EQ(port.writes.at(port.writes.size() - 2), pellin::kShutDownFrame);
    port.onSleep = nullptr;
    EXPECT_EQ(engine.CheckDevice(), 1);
}

// A new job leaves the last job's code in place until it is read.
TEST_F(WhileWorkerRuns, OldErrorStaysUntilRead) {
    engine.State().error.store(3);
    engine.State().block.store(5);
    engine.BotLoad(dir.Write("a.pln", "").c_str());
    EXPECT_EQ(engine.getBlock(), 0);
    EXPECT_EQ(engine.getPercent(), 0);
    EXPECT_EQ(engine.getError(), 3);
}

// A worker that cannot be started ends the job with code 4 and leaves the port free.
TEST(Launch, FailingThreadStart) {
    FakePort port;
    pellin::Engine engine(port.Transport(), port.Clock(),
                          [](std::function<void()>) { return false; });
    engine.BotLoad("/tmp/a.pln");
    EXPECT_EQ(engine.getError(), 4);
    EXPECT_FALSE(engine.Busy());
}

} // namespace
