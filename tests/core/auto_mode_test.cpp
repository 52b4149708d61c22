#include "run_fixture.h"

namespace kaprin::test {
namespace {

class AutoModeTest : public MainWindowTest {
protected:
    std::string pln;

    void SetUp() override {
        MainWindowTest::SetUp();
        pln = dir.Write("A.PLN", ":00000001FF\r\n");
        main->SetSFile(pln);
        Forget();
    }

    void SwitchOn() {
        main->mnuAutoQuenlar_Click();
        ASSERT_TRUE(main->mnuAutoQuenlar.checked);
        ASSERT_TRUE(main->t2.enabled);
    }

    // One step with a device present whose download succeeds ('S') or fails ('F');
    // a good device is taken away after `removalPolls` more probes.
    void Step(char outcome, int removalPolls = 1) {
        auto& p = world.pellin;
        p.checkZ = {1};
        p.checkDevice = {1};
        for (int i = 0; i < removalPolls; ++i)
            p.checkDevice.push_back(1);
        p.checkDevice.push_back(0);
        p.percents = {0, 100};
        p.lastPercent = 0;
        p.errors = {outcome == 'S' ? 0 : 4};
        p.lastError = 0;
        main->t2_Timer();
    }
};

// A refused image ends the mode at the first scanner, saying why, with nothing sent:
// every later scanner would be refused the same.
TEST_F(AutoModeTest, RefusedImageEndsTheMode) {
    SwitchOn();
    world.record.refusal = "A.PLN has SHA-256 1, but A.PLN.sha256 pins 2";
    Step('S');
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_TRUE(main->cmdStart.visible);
    EXPECT_EQ(main->AutoEndedBy, RunResult::Refused);
    EXPECT_EQ(main->SB1.panel1, world.record.refusal);
    EXPECT_TRUE(Calls({"BotLoad", "FontLoad", "KALDUN"}).empty());
}

// Switching on drives the lines that are on, waits the delay with events handled, and
// hides Start; switching off undoes the lines whose options are on.
TEST_F(AutoModeTest, SwitchOnAndOff) {
    main->cboDelay_Select(3);
    bool lockedDuringDelay = false;
    world.windows.Every(1, [&] {
        lockedDuringDelay =
            !main->mnuAutoQuenlar.enabled && !main->cmdStart.enabled && !main->t2.enabled;
        return true;
    });
    const std::uint32_t start = world.clock.now;
    SwitchOn();
    EXPECT_GE(world.clock.now - start, 3000u);
    EXPECT_TRUE(lockedDuringDelay);
    EXPECT_EQ(Calls({"PowerOn", "BootOn"}), (std::vector<std::string>{"PowerOn:1", "BootOn:1"}));
    EXPECT_EQ(main->sDTR.colour, kLineLampOn);
    EXPECT_FALSE(main->cmdStart.visible);
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_TRUE(EveryPumpIsBounded());

    // DTR turned off while the mode runs: its line and lamp stay on at switch-off.
    main->mnuDTR_Click();
    main->SB1.panel1 = "busy";
    world.log.clear();
    main->mnuAutoQuenlar_Click();
    EXPECT_EQ(Calls({"PowerOn", "BootOn"}), (std::vector<std::string>{"BootOn:0"}));
    EXPECT_EQ(main->sDTR.colour, kLineLampOn);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_TRUE(main->cmdStart.visible);
    EXPECT_EQ(main->SB1.panel1, "");
}

// With both line options off nothing is driven either way.
TEST_F(AutoModeTest, LineOptionsOff) {
    main->mnuDTR.checked = main->mnuRTS.checked = false;
    SwitchOn();
    main->mnuAutoQuenlar_Click();
    EXPECT_TRUE(Calls({"PowerOn", "BootOn"}).empty());
}

// A port that cannot be used ends the mode at the next probe; the lines stay.
TEST_F(AutoModeTest, UnusablePortEndsTheMode) {
    SwitchOn();
    world.pellin.checkZ = {0, 0, -1};
    main->t2_Timer();
    EXPECT_EQ(world.pellin.checkZCalls, 3);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_TRUE(main->cmdStart.visible);
    EXPECT_EQ(main->SB1.panel1, "");
    EXPECT_EQ(main->AutoEndedBy, RunResult::PortUnusable);
    EXPECT_TRUE(world.pellin.powerOn);
}

// Switching the mode off while looking ends the step at its next check.
TEST_F(AutoModeTest, SwitchedOffWhileLooking) {
    SwitchOn();
    world.pellin.checkZ = {0};
    world.windows.At(world.windows.pumps + 4, [&] { main->mnuAutoQuenlar_Click(); });
    main->t2_Timer();
    EXPECT_EQ(world.pellin.checkZCalls, 4);
    EXPECT_EQ(world.pellin.checkDeviceCalls, 0);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_TRUE(EveryPumpIsBounded());
}

// A device that answers the probe but not the presence check: nothing is counted.
TEST_F(AutoModeTest, AnswerWithoutDevice) {
    SwitchOn();
    world.pellin.checkZ = {1};
    world.pellin.checkDevice = {0};
    bool lookingText = false;
    world.pellin.onProbe = [&] { lookingText = main->SB1.panel1 == T(1323); };
    main->t2_Timer();
    EXPECT_TRUE(lookingText);
    EXPECT_EQ(main->SB1.panel1, T(1323));
    EXPECT_TRUE(world.pellin.loads.empty());
    EXPECT_EQ(main->AutoFailCount, 0);
    EXPECT_TRUE(main->t2.enabled);
}

// The alert comes when the failures in a row reach the limit, then the count restarts.
struct FailCase {
    const char* name;
    std::int16_t limit;
    const char* outcomes; // one step each: S success, F failure
    const char* alerts;   // '!' where a step raises the alert
    friend void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }
};

class FailLimitTest : public AutoModeTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(FailLimitTest, AlertsAtTheLimit) {
    main->module1.AutoFailLimit = GetParam().limit;
    SwitchOn();
    std::string alerts;
    for (const char* o = GetParam().outcomes; *o; ++o) {
        const auto messages = world.windows.messages.size();
        const int beeps = world.windows.beeps;
        Step(*o);
        const bool alerted = world.windows.messages.size() > messages;
        EXPECT_EQ(alerted, world.windows.beeps > beeps);
        alerts += alerted ? '!' : '.';
        EXPECT_TRUE(main->t2.enabled);
    }
    EXPECT_EQ(alerts, GetParam().alerts);
    for (const auto& text : world.windows.messages)
        EXPECT_EQ(text, T(1324));
}

INSTANTIATE_TEST_SUITE_P(Limits, FailLimitTest,
                         ::testing::Values(FailCase{"Three", 3, "FFFFFFF", "..!..!."},
                                           FailCase{"SuccessResets", 3, "FFSFFF", ".....!"},
                                           FailCase{"NoCommandLineLimit", 0, "FFF", "!!!"},
                                           FailCase{"One", 1, "FSF", "!.!"},
                                           FailCase{"Negative", -2, "FF", "!!"},
                                           FailCase{"Nine", 9, "FFFFFFFFF", "........!"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The beep comes before the message, and the message waits for the operator.
TEST_F(AutoModeTest, BeepThenMessage) {
    main->module1.AutoFailLimit = 1;
    SwitchOn();
    world.log.clear();
    Step('F');
    EXPECT_EQ(Calls({"Beep", "ShowMessage"}),
              (std::vector<std::string>{"Beep", "ShowMessage:" + T(1324)}));
    EXPECT_EQ(main->AutoFailCount, 0);
}

// A good device is downloaded once, then the step waits until it is taken away.
TEST_F(AutoModeTest, SuccessWaitsForRemoval) {
    main->mnuQuenlar.checked = true;
    main->mnuBotShutDown.checked = false;
    SwitchOn();
    world.log.clear();
    Step('S', 5);
    EXPECT_EQ(world.pellin.loads, (std::vector<std::string>{"BotLoad:" + pln}));
    EXPECT_EQ(world.pellin.checkDeviceCalls, 1 + 6);
    EXPECT_TRUE(world.pellin.bootShutDown); // whatever mnuBotShutDown says
    EXPECT_TRUE(Calls({"BootStart", "AskYesNo"}).empty());
    EXPECT_TRUE(world.pellin.powerOn); // lines stay on between devices
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), "");
    EXPECT_TRUE(AllLamps(kChaserPassed));
    EXPECT_EQ(main->SB1.panel1, T(1319));
    EXPECT_TRUE(main->t2.enabled);
    EXPECT_FALSE(world.windows.closeRequested);
    EXPECT_TRUE(EveryPumpIsBounded());
}

// Switching the mode off also ends the wait for the device to be taken away.
TEST_F(AutoModeTest, SwitchedOffWhileWaitingForRemoval) {
    SwitchOn();
    world.pellin.checkZ = {1};
    world.pellin.checkDevice = {1};
    world.pellin.percents = {0, 100};
    int removalPolls = 0;
    world.pellin.onProbe = [&] {
        if (main->SB1.panel1 == T(1319) && ++removalPolls == 3)
            main->mnuAutoQuenlar_Click();
    };
    main->t2_Timer();
    EXPECT_EQ(removalPolls, 3);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
}

// "-C": the first success asks the front end to close, from inside the step.
TEST_F(AutoModeTest, CloseAfterTheFirstSuccess) {
    main->module1.CmdMode = kCmdAutoClose;
    main->module1.AutoFailLimit = 3;
    SwitchOn();
    Step('F');
    EXPECT_FALSE(world.windows.closeRequested);
    Step('S');
    EXPECT_TRUE(world.windows.closeRequested);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_EQ(world.pellin.checkDeviceCalls, 2); // no wait for the device's removal
    EXPECT_EQ(main->AutoFailCount, 0);
}

// "-C -E5 -F=…" from start-up: the mode starts at the first activation, five failures
// raise the alert, the first success closes, and the close saves the options.
TEST_F(AutoModeTest, CommandLineCloseAfterSuccess) {
    const std::string file = dir.Write("cmd.PLN", ":00000001FF\r\n");
    StartWith("-C -E5 -F=" + file);
    EXPECT_EQ(main->txtSFile.text, file);
    ASSERT_TRUE(main->mnuAutoQuenlar.checked);
    EXPECT_FALSE(main->cmdStart.visible);
    for (int i = 0; i < 5; ++i)
        Step('F');
    EXPECT_EQ(world.windows.messages, (std::vector<std::string>{T(1324)}));
    Step('S');
    ASSERT_TRUE(world.windows.closeRequested);
    world.store.writes.clear();
    main->Form_QueryUnload(); // what the front end runs when it closes the window
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_EQ(world.store.writes.size(), 7u);
    EXPECT_EQ(world.pellin.loads.size(), 6u);
}

// An empty file box counts as a failure without touching the library's flags.
TEST_F(AutoModeTest, EmptyFileBoxFails) {
    main->SetSFile("");
    main->SB1.panel1 = "old";
    world.log.clear();
    EXPECT_EQ(main->AutoLoadDevice().result, RunResult::NoFile);
    EXPECT_EQ(main->SB1.panel1, "");
    EXPECT_TRUE(world.log.empty());
}

// A conversion that fails counts as a failed download and is named in the status.
TEST_F(AutoModeTest, ConversionFailureCounts) {
    const std::string hex = dir.Write("B.HEX", ":00000001FF\r\n");
    main->SetSFile(hex);
    main->mnuConvert.checked = false;
    main->module1.AutoFailLimit = 3;
    world.kaldun.results = {9};
    SwitchOn();
    Step('S');
    EXPECT_EQ(main->AutoFailCount, 1);
    EXPECT_EQ(main->SB1.panel1, T(1316) + " 9");
    EXPECT_TRUE(world.pellin.loads.empty());
}

// During a manual run the automatic mode cannot be switched on.
TEST_F(AutoModeTest, LockedDuringAManualRun) {
    world.pellin.checkZ = {0, 0, 1};
    world.pellin.percents = {0, 100};
    world.windows.yesNoAnswers = {true};
    world.windows.At(world.windows.pumps + 1, [&] { main->mnuAutoQuenlar_Click(); });
    main->cmdStart_Click();
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_TRUE(main->cmdStart.visible);
}

} // namespace
} // namespace kaprin::test
