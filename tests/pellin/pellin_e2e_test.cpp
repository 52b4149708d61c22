// libPellin.so through the real serial component into scanner-sim on a pseudo-terminal.
#include "pellin/pellin.h"
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using testsupport::ScannerSimProcess;

namespace {

using Clock = std::chrono::steady_clock;

struct JobEnd {
    int32_t percent = 0;
    int32_t block = 0;
    int32_t error = 0;
    bool finished = false;
};

// Polls as the utility does, with a pause so the test itself burns no CPU.
JobEnd WaitForJob(std::chrono::seconds limit = std::chrono::seconds(30)) {
    JobEnd end;
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        end.percent = getPercent();
        end.block = getBlock();
        end.error = getError();
        if (end.percent == 100 || end.error != 0) {
            end.finished = true;
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return end;
}

// Waits until the worker has closed the port (a probe is no longer refused).
void WaitPortFree() {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        const char* path = getenv("RS232_COM1");
        const int fd = path == nullptr ? -1 : open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return;
        const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
        close(fd);
        if (free)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_PSEUDO_TERMINAL();
        (void)getError();
        (void)getPercent();
        PowerOn(0);
        BootOn(0);
        BootStart(0);
        BootShutDown(0);
    }

    void StartSim(std::vector<std::string> options) {
        log = dir.path().string() + "/sim.log";
        options.push_back("--log");
        options.push_back(log);
        std::string error;
        ASSERT_TRUE(sim.Start(options, error)) << error;
        testsupport::MapComPort(1, sim.SlavePath());
        ASSERT_EQ(usePort(0, 115200), 0);
    }

    std::string Image(int banks = 8, int lines = 8) {
        testsupport::PlnLayout layout;
        layout.banks = banks;
        layout.linesPerBank = lines;
        return dir.Write("image.pln", testsupport::MakePlnImage(layout));
    }

    // The log once the simulator has written its totals.
    std::string StoppedLog() {
        sim.Stop();
        return kaprin::test::ReadTextFile(log);
    }

    kaprin::test::TempDir dir;
    ScannerSimProcess sim;
    std::string log;
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// A good firmware download: 100 %, 8 blocks, code 0, then the shut-down and start frames.
TEST_F(EndToEnd, GoodDownload) {
    StartSim({});
    BootShutDown(0xFF);
    BootStart(1);
    BotLoad(Image().c_str());
    const JobEnd end = WaitForJob();
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.percent, 100);
    EXPECT_EQ(end.error, 0);
    EXPECT_EQ(end.block, 8);
    WaitPortFree();
    const std::string text = StoppedLog();
    EXPECT_EQ(Count(text, "\"=000000AA56\" ACK"), 1u);
    EXPECT_EQ(Count(text, "\"=0000009967\" ACK"), 1u);
    EXPECT_EQ(Count(text, "download 1 complete"), 1u);
    // 2 sync frames + 8 x (2 headers + 8 lines + end) + shut-down + start.
    EXPECT_NE(text.find("totals frames=" + std::to_string(2 + 8 * 11 + 2) + " "), std::string::npos)
        << text;
}

// Both probes find the simulated device, again and again: the terminal survives every close.
TEST_F(EndToEnd, ProbesAnswerAcrossRepeatedOpens) {
    StartSim({});
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(CheckZ(), 1) << "round " << i;
        ASSERT_EQ(CheckDevice(), 1) << "round " << i;
    }
}

// A line with nobody answering: CheckZ 0 after its 21 tries, CheckDevice 0.
TEST_F(EndToEnd, ProbesOnSilentLine) {
    StartSim({"--no-echo"});
    const auto start = Clock::now();
    EXPECT_EQ(CheckZ(), 0);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(225));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(CheckDevice(), 0);
}

// A port that cannot be opened: CheckZ -1, and a job ends with code 4.
TEST_F(EndToEnd, MissingPort) {
    testsupport::MapComPort(1, dir.path().string() + "/no-such-tty");
    ASSERT_EQ(usePort(0, 115200), 0);
    EXPECT_EQ(CheckZ(), -1);
    EXPECT_EQ(CheckDevice(), 0);
    BotLoad(Image(1, 1).c_str());
    const JobEnd end = WaitForJob();
    EXPECT_EQ(end.error, 4);
    EXPECT_EQ(end.percent, 0);
}

struct FaultCase {
    const char* scenario;
    std::vector<std::string> options;
    int32_t error;
};

class Faults : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {};

// Refusals and programming failure reported by the device end the job with their codes.
TEST_P(Faults, EndWithTheirCode) {
    const FaultCase& c = GetParam();
    StartSim(c.options);
    BotLoad(Image(2, 4).c_str());
    const JobEnd end = WaitForJob();
    ASSERT_TRUE(end.finished) << c.scenario;
    EXPECT_EQ(end.error, c.error) << c.scenario;
    EXPECT_LT(end.block, 8) << c.scenario;
}

INSTANTIATE_TEST_SUITE_P(
    Device, Faults,
    ::testing::Values(FaultCase{"esc on a data line", {"--esc-at", "6"}, 3},
                      FaultCase{"five naks", {"--nak-at", "5,6,7,8,9"}, 2},
                      FaultCase{
                          "five other bytes: a noisy line", {"--reply-at", "5,6,7,8,9:41"}, 6},
                      FaultCase{"every frame refused", {"--refuse-rate", "1"}, 4}));

// The library sends lines as read; a device that checks them refuses a corrupt one: code 2.
TEST_F(EndToEnd, CorruptLineIsRefused) {
    StartSim({"--check"});
    const std::string good = testsupport::DataRecord(0, {1, 2, 3, 4});
    std::string bad = testsupport::DataRecord(4, {5, 6, 7, 8});
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';
    BotLoad(dir.Write("bad.pln", good + "\r\n" + bad + "\r\n").c_str());
    const JobEnd end = WaitForJob();
    EXPECT_EQ(end.error, 2);
    WaitPortFree();
    EXPECT_EQ(Count(StoppedLog(), "\"" + bad + "\" NAK"), 5u);
}

// One stray byte on the line, then a refusal: the refused record is the one sent again, so
// success means every record was acknowledged.
TEST_F(EndToEnd, StrayByteShiftsNoAnswer) {
    StartSim({"--baud", "115200", "--extra-byte-at", "40", "--nak-at", "80"});
    BotLoad(Image(8, 32).c_str());
    const JobEnd end = WaitForJob();
    EXPECT_EQ(end.error, 0);
    WaitPortFree();
    const std::string text = StoppedLog();
    const size_t refused = text.find("frame 80 \":");
    ASSERT_NE(text.find(" ACK then 3F"), std::string::npos) << text;
    ASSERT_NE(refused, std::string::npos) << text;
    const std::string record = text.substr(refused + 9, text.find('"', refused + 10) - refused - 8);
    EXPECT_EQ(text.compare(refused + 9 + record.size(), 4, " NAK"), 0) << text;
    EXPECT_NE(text.find(record + " ACK", refused), std::string::npos) << record << "\n" << text;
}

// A device that stops answering: a real two-second time-out, one extra end frame that waits
// its two seconds too, then code 1.
TEST_F(EndToEnd, RealTimeOut) {
    StartSim({"--silent-from", "6"});
    const auto start = Clock::now();
    BotLoad(Image(1, 8).c_str());
    const JobEnd end = WaitForJob();
    const auto took = Clock::now() - start;
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.error, 1);
    EXPECT_GE(took, std::chrono::milliseconds(3990));
    EXPECT_LT(took, std::chrono::milliseconds(5500));
    WaitPortFree();
    const std::string text = StoppedLog();
    // Frame 6 went unanswered, then the extra end frame came.
    EXPECT_NE(text.find("frame 7 \"=0000000000\" none"), std::string::npos) << text;
}

// A device pulled mid-job: reads and writes fail harmlessly, the job ends with the time-out
// code, the port is closed, and the waits do not spin.
TEST_F(EndToEnd, DeviceDisappearsMidJob) {
    StartSim({"--baud", "9600"});
    BotLoad(Image(8, 64).c_str());
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (getPercent() < 5 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    sim.Kill();
    const JobEnd end = WaitForJob(std::chrono::seconds(20));
    const auto took = Clock::now() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.error, 1);
    EXPECT_LT(took, std::chrono::seconds(6));
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                       (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6 +
                       (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1e6;
    const double seconds = std::chrono::duration<double>(took).count();
    EXPECT_LT(cpu, 0.1 * seconds) << "cpu " << cpu << " s in " << seconds << " s";
    // The worker has let the port go: a device plugged in again is found at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ScannerSimProcess replugged;
    std::string error;
    ASSERT_TRUE(replugged.Start({}, error)) << error;
    testsupport::MapComPort(1, replugged.SlavePath());
    EXPECT_EQ(CheckZ(), 1);
}

// While a job holds the port nobody else can take it; afterwards the port is free again.
TEST_F(EndToEnd, PortIsHeldExclusively) {
    StartSim({"--baud", "9600"});
    BotLoad(Image(1, 64).c_str());
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (getPercent() < 1 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    const JobEnd end = WaitForJob();
    EXPECT_EQ(end.error, 0);
    WaitPortFree();
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
}

// The simulator plays the automatic mode's devices: after a download the next probe finds the
// device taken away, later a new one is there, and --exit-after ends the simulator.
TEST_F(EndToEnd, DevicesComeAndGo) {
    StartSim({"--away", "300", "--exit-after", "2", "--linger", "200"});
    const std::string image = Image(8, 2);
    BootShutDown(1);
    for (int device = 0; device < 2; ++device) {
        ASSERT_EQ(CheckZ(), 1);
        ASSERT_EQ(CheckDevice(), 1);
        BotLoad(image.c_str());
        const JobEnd end = WaitForJob();
        ASSERT_EQ(end.error, 0);
        ASSERT_EQ(end.percent, 100);
        WaitPortFree();
        if (device == 1)
            break;
        // Taken away: no echo.
        EXPECT_EQ(CheckDevice(), 0);
        // A new device answers within the absence and a little more.
        const auto until = Clock::now() + std::chrono::seconds(3);
        while (CheckZ() != 1 && Clock::now() < until) {
        }
    }
    EXPECT_EQ(sim.WaitExit(3000), 0);
}

} // namespace
