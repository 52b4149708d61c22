// Line control at job start, the test frame and the probes, timed on the virtual clock.
#include "engine.h"
#include "fake_port.h"
#include "pln_image.h"
#include "record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using pellintest::Answer;
using pellintest::FakePort;

namespace {

pellin::Engine::Launcher Inline() {
    return [](std::function<void()> job) {
        job();
        return true;
    };
}

class Probes : public ::testing::Test {
protected:
    FakePort port;
    pellin::Engine engine{port.Transport(), port.Clock(), Inline()};
};

struct LineCase {
    uint8_t powerOn;
    uint8_t bootOn;
    std::vector<std::string> calls;
};

class LineControl : public Probes, public ::testing::WithParamInterface<LineCase> {};

// Right after OpenPort: RTS from the power-on flag, then DTR from the boot-on flag; a line that
// is on is released first, then asserted.
TEST_P(LineControl, SetsLinesInOrder) {
    const LineCase& c = GetParam();
    port.device = FakePort::AckEverything();
    engine.PowerOn(c.powerOn);
    engine.BootOn(c.bootOn);
    kaprin::test::TempDir dir;
    engine.BotLoad(dir.Write("a.pln", testsupport::DataRecord(0, {1}) + "\r\n").c_str());
    std::vector<std::string> expected{"OpenPort"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    expected.push_back("ClosePort");
    EXPECT_EQ(port.LineCalls(), expected);
    EXPECT_EQ(port.calls[1 + c.calls.size()], std::string("write ") + pellin::kEndFrame);
}

INSTANTIATE_TEST_SUITE_P(Flags, LineControl,
                         ::testing::Values(LineCase{0, 0, {"ClrRTS", "ClrDTR"}},
                                           LineCase{1, 0, {"ClrRTS", "SetRTS", "ClrDTR"}},
                                           LineCase{0, 0xFF, {"ClrRTS", "ClrDTR", "SetDTR"}},
                                           LineCase{
                                               0x80, 1, {"ClrRTS", "SetRTS", "ClrDTR", "SetDTR"}}));

// The flags only store: nothing touches a line until the next job.
TEST_F(Probes, FlagsTouchNoLine) {
    engine.PowerOn(1);
    engine.BootOn(1);
    engine.BootStart(1);
    engine.BootShutDown(1);
    EXPECT_TRUE(port.calls.empty());
}

struct ZCase {
    const char* scenario;
    int answerOnTry; // 0: never
    uint8_t answer;
    int32_t result;
    size_t probes;
    uint32_t elapsedMs;
    uint32_t echoMs = 1; // from the write to the answer
};

class CheckZ : public Probes, public ::testing::WithParamInterface<ZCase> {};

// CheckZ: 20 ms settle, tries of 10 ms from before each write, 50 ms after an answer (until
// the echoes of earlier tries have all come in).
TEST_P(CheckZ, AnswersAndTiming) {
    const ZCase& c = GetParam();
    auto tries = std::make_shared<int>(0);
    port.device = [c, tries](const std::string&) -> std::vector<Answer> {
        ++*tries;
        if (c.answerOnTry == 0 || *tries >= c.answerOnTry)
            return {{c.answer, c.echoMs}};
        return {};
    };
    EXPECT_EQ(engine.CheckZ(), c.result) << c.scenario;
    EXPECT_EQ(port.writes.size(), c.probes) << c.scenario;
    EXPECT_EQ(port.nowMs.load(), c.elapsedMs) << c.scenario;
    for (const std::string& w : port.writes)
        EXPECT_EQ(w, "Z");
    EXPECT_EQ(port.calls.back(), "ClosePort");
    EXPECT_FALSE(engine.Busy());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, CheckZ,
    ::testing::Values(ZCase{"answers at once", 1, 'Z', 1, 1, 20 + 1 + 50},
                      ZCase{"answers the third", 3, 'Z', 1, 3, 20 + 2 * 10 + 1 + 50},
                      ZCase{"silent", 100, 'Z', 0, 21, 20 + 21 * 10},
                      ZCase{"wrong byte ends each try at once", 0, 'Y', 0, 21, 20 + 21 * 1},
                      ZCase{"echoes 60 ms late", 1, 'Z', 1, 6, 20 + 5 * 10 + 60 + 50, 60}));

// CheckZ tells a port that cannot be opened from a silent line, and does not close it.
TEST_F(Probes, CheckZPortFailing) {
    port.openResult = 3;
    EXPECT_EQ(engine.CheckZ(), -1);
    EXPECT_EQ(port.calls, std::vector<std::string>{"OpenPort"});
}

struct DeviceCase {
    const char* scenario;
    std::string echoes; // what comes back for each character sent, in turn ('-' = nothing)
    int32_t result;
    size_t writes;
    uint32_t elapsedMs;
};

class CheckDevice : public Probes, public ::testing::WithParamInterface<DeviceCase> {};

// CheckDevice: 100 ms settle, then each name character echoed within 70 ms of its write.
TEST_P(CheckDevice, EchoAndTiming) {
    const DeviceCase& c = GetParam();
    auto sent = std::make_shared<size_t>(0);
    port.device = [c, sent](const std::string&) -> std::vector<Answer> {
        const size_t i = (*sent)++;
        if (i >= c.echoes.size() || c.echoes[i] == '-')
            return {};
        return {{static_cast<uint8_t>(c.echoes[i]), 2}};
    };
    EXPECT_EQ(engine.CheckDevice(), c.result) << c.scenario;
    ASSERT_EQ(port.writes.size(), c.writes) << c.scenario;
    for (size_t i = 0; i < port.writes.size(); ++i)
        EXPECT_EQ(port.writes[i], std::string(1, "MORLA"[i]));
    EXPECT_EQ(port.nowMs.load(), c.elapsedMs) << c.scenario;
    EXPECT_EQ(port.calls.back(), "ClosePort");
}

INSTANTIATE_TEST_SUITE_P(Devices, CheckDevice,
                         ::testing::Values(DeviceCase{"full echo", "MORLA", 1, 5, 100 + 5 * 2},
                                           DeviceCase{"first four", "MORL-", 0, 5,
                                                      100 + 4 * 2 + 70},
                                           DeviceCase{"wrong echo", "MX", 0, 2, 100 + 2 * 2},
                                           DeviceCase{"none", "", 0, 1, 100 + 70}));

// A port failing to open makes CheckDevice return 0 at once.
TEST_F(Probes, CheckDevicePortFailing) {
    port.openResult = 3;
    EXPECT_EQ(engine.CheckDevice(), 0);
    EXPECT_EQ(port.calls, std::vector<std::string>{"OpenPort"});
    EXPECT_EQ(port.nowMs.load(), 0u);
}

// TESTFUNC goes on after a failed open: it still writes and waits its second, then closes.
TEST_F(Probes, TestFuncWithoutPort) {
    port.openResult = 3;
    engine.TESTFUNC(1);
    EXPECT_EQ(port.calls,
              (std::vector<std::string>{"OpenPort", std::string("write ") + pellin::kStartFrame,
                                        "ClosePort"}));
    EXPECT_EQ(port.nowMs.load(), 1000u);
}

// TESTFUNC(0) sends the shut-down frame; the selector's low byte decides.
TEST_F(Probes, TestFuncShutDown) {
    port.device = FakePort::AckEverything();
    engine.TESTFUNC(0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], pellin::kShutDownFrame);
    EXPECT_EQ(port.nowMs.load(), 1u);
}

} // namespace
