// The run as a table: a situation on the fakes and a script of events, then the state,
// what the window shows, the library calls and the record. No event loop: the script
// delivers the ticks a front end would.
#include "run_fixture.h"

#include <filesystem>
#include <fstream>

namespace kaprin::test {
namespace {

constexpr const char* kPlnData = ":0140000000BF\r\n";

class RunMachineTest : public MainWindowTest {
public:
    using MainWindowTest::dir;
    using MainWindowTest::Forget;
    using MainWindowTest::main;
    using MainWindowTest::world;
    std::string pln, closeAnswers;
    std::vector<bool> fileBoxLocked; // txtSFile disabled, at each tick of a transfer
    std::string reported;            // what the run told its watcher, one word each

    void SetUp() override {
        MainWindowTest::SetUp();
        main->run.onEvent = [this](const RunEvent& e) {
            using K = RunEvent::Kind;
            const std::string word =
                e.kind == K::Waiting       ? "waiting"
                : e.kind == K::DeviceFound ? "found"
                : e.kind == K::Converting  ? std::filesystem::path(e.text).filename().string()
                : e.kind == K::Progress ? std::to_string(e.percent) + "%" + std::to_string(e.block)
                : e.kind == K::Paused   ? "paused" + std::to_string(e.pauseMs) + ":" + e.text
                                        : "outcome";
            reported += (reported.empty() ? "" : " ") + word;
        };
        pln = dir.Write("X.PLN", kPlnData);
        main->SetSFile(pln);
        world.pellin.checkZ = {0, 1};
        ScriptGoodTransfer();
        Forget();
    }

    void Tick() {
        world.windows.DoEvents(kPollWaitMs);
        if (main->run.tick.enabled)
            main->tRun_Timer();
        if (main->run.state() == RunState::Transfer)
            fileBoxLocked.push_back(!main->txtSFile.enabled && !main->cmdBorwse.enabled &&
                                    !main->mnuComm.enabled && !main->cmdStart.enabled);
    }

    // S Start, P Stop, A the automatic mode's switch, L t2, t one tick, R ticks until the
    // run is idle, C a close request, X the image replaced on disk.
    void Play(const char* script) {
        for (const char* e = script; *e; ++e) {
            switch (*e) {
            case 'S':
                main->cmdStart_Click();
                break;
            case 'P':
                main->cmdStop_Click();
                break;
            case 'A':
                main->mnuAutoQuenlar_Click();
                break;
            case 'L':
                main->t2_Timer();
                break;
            case 't':
                Tick();
                break;
            case 'R':
                for (int n = 0; main->run.Busy() && n < 10000; ++n)
                    Tick();
                break;
            case 'C':
                closeAnswers += main->run.RequestClose() ? 'y' : 'n';
                break;
            case 'X':
                dir.Write("X.PLN", ":0140000000FF\r\n");
                break;
            }
        }
    }

    // The calls that matter to a run, the private copy's folder left out of a load.
    std::vector<std::string> RunCalls() const {
        std::vector<std::string> calls;
        for (std::string c : Calls({"BotLoad", "FontLoad", "AskYesNo", "BootStart", "BootShutDown",
                                    "Beep", "ShowMessage", "CloseMainWindow"})) {
            if (c.rfind("BotLoad:", 0) == 0 || c.rfind("FontLoad:", 0) == 0)
                c = c.substr(0, c.find(':') + 1) + std::filesystem::path(c).filename().string();
            calls.push_back(c);
        }
        return calls;
    }
};

void HexImage(RunMachineTest& t, const std::string& content, std::int32_t converter = 0) {
    const std::string hex = t.dir.Write("C.HEX", content);
    t.world.kaldun.results = {converter};
    t.world.kaldun.onConvert = [&t](const std::string&) { t.dir.Write("C.PLN", kPlnData); };
    t.main->SetSFile(hex);
    t.Forget();
}

void AutoOn(RunMachineTest& t) {
    t.main->mnuAutoQuenlar_Click();
    t.world.pellin.checkZ = {1};
    t.world.pellin.checkDevice = {1, 0};
    t.Forget();
}

using Script = std::deque<std::int32_t>;
using SetUp = std::function<void(RunMachineTest&)>;

// A set-up that only scripts the library's answers, in the automatic mode or not.
SetUp Lib(Script checkZ, Script errors = {}, Script percents = {}) {
    return [=](RunMachineTest& t) {
        t.world.pellin.checkZ = checkZ;
        if (!errors.empty())
            t.world.pellin.errors = errors;
        if (!percents.empty())
            t.world.pellin.percents = percents;
    };
}
SetUp Auto(Script checkZ = {1}, Script checkDevice = {1, 0}, Script errors = {}) {
    return [=](RunMachineTest& t) {
        AutoOn(t);
        Lib(checkZ, errors)(t);
        t.world.pellin.checkDevice = checkDevice;
    };
}

struct RunCase {
    const char* name;
    SetUp setUp;
    const char* script;
    RunState state;
    std::string panel1;
    std::vector<std::string> calls = {};
    std::optional<RecordOutcome> recorded = std::nullopt;
    const char* mark = ""; // panel 3
    friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }
};

const std::string kAsk = "AskYesNo:" + T(1304) + "=Yes";
const std::string kConvert = "AskYesNo:" + T(1302) + "=Yes";
const std::vector<std::string> kManualLoad{"BootStart:0", "BootShutDown:0", kAsk, "BotLoad:X.PLN"};
const std::vector<std::string> kAutoLoad{"BootShutDown:1", "BotLoad:X.PLN"};

class RunTable : public RunMachineTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTable, Script) {
    const RunCase& c = GetParam();
    if (c.setUp)
        c.setUp(*this);
    Play(c.script);
    EXPECT_EQ(RunStateName(main->run.state()), std::string(RunStateName(c.state)));
    EXPECT_EQ(main->SB1.panel1, c.panel1);
    EXPECT_EQ(RunCalls(), c.calls);
    ASSERT_EQ(world.record.records.size(), c.recorded ? 1u : 0u);
    if (c.recorded) {
        EXPECT_EQ(world.record.records[0].outcome, *c.recorded);
    }
    EXPECT_EQ(main->SB1.panel3, c.mark);
    // Whatever happened, a transfer never runs with the image's controls free.
    EXPECT_EQ(std::count(fileBoxLocked.begin(), fileBoxLocked.end(), false), 0);
    if (!main->run.Busy()) {
        EXPECT_EQ(main->txtSFile.enabled, true);
        EXPECT_FALSE(main->t1.enabled);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Manual, RunTable,
    ::testing::Values(
        RunCase{"Good", nullptr, "SR", RunState::Idle, T(1319), kManualLoad, RecordOutcome::Ok,
                "PASS  1 good, 0 failed"},
        RunCase{"EmptyFileBox", [](RunMachineTest& t) { t.main->SetSFile(""); }, "SR",
                RunState::Idle, ""},
        RunCase{"PortUnusable", Lib({0, -1}), "SR", RunState::Idle, ""},
        RunCase{"WaitingForTheDevice", Lib({0}), "Sttt", RunState::WaitDevice, T(1325)},
        RunCase{"Stopped", Lib({0}), "SttPR", RunState::Idle, T(1326)},
        RunCase{"Declined",
                [](RunMachineTest& t) { t.world.windows.yesNoAnswers = {false}; },
                "SR",
                RunState::Idle,
                T(1325),
                {"BootStart:0", "BootShutDown:0", "AskYesNo:" + T(1304) + "=No"}},
        RunCase{"FileGone",
                [](RunMachineTest& t) { t.main->SetSFile(t.dir / "gone.PLN"); },
                "SR",
                RunState::Idle,
                T(1314),
                {"BootStart:0", "BootShutDown:0"}},
        RunCase{
            "PlnWithoutDataLines",
            [](RunMachineTest& t) { t.main->SetSFile(t.dir.Write("E.PLN", "=0000000000\r\n")); },
            "SR",
            RunState::Idle,
            T(1327),
            {"BootStart:0", "BootShutDown:0"}},
        RunCase{"CutPln",
                [](RunMachineTest& t) {
                    t.main->SetSFile(t.dir.Write("C.PLN", ":0100000055AA\r\n:01000"));
                },
                "SR",
                RunState::Idle,
                T(1329),
                {"BootStart:0", "BootShutDown:0"}},
        RunCase{"PathTooLong",
                [](RunMachineTest& t) {
                    t.main->SetSFile(
                        t.dir.Write(std::string(250, 'p') + ".PLN", ":0100000055AA\r\n"));
                },
                "SR",
                RunState::Idle,
                T(1330),
                {"BootStart:0", "BootShutDown:0"}},
        RunCase{"HexWithoutItsEndRecord",
                [](RunMachineTest& t) { HexImage(t, ":0100000055AA\r\n"); },
                "SR",
                RunState::Idle,
                T(1327),
                {"BootStart:0", "BootShutDown:0", kConvert}},
        RunCase{"ConversionFailed",
                [](RunMachineTest& t) { HexImage(t, ":00000001FF\r\n", 0x1FFFF); },
                "SR",
                RunState::Idle,
                T(1316) + " -1",
                {"BootStart:0", "BootShutDown:0", kConvert}},
        RunCase{"TransferFailed", Lib({0, 1}, {0, 4}), "SR", RunState::Idle, T(1313), kManualLoad,
                RecordOutcome::Failed, "FAIL  0 good, 1 failed"},
        RunCase{"NoisyLine", Lib({0, 1}, {0, 6}), "SR", RunState::Idle, T(1328), kManualLoad,
                RecordOutcome::Failed, "FAIL  0 good, 1 failed"},
        // The code comes after the final percent: it is read once more.
        RunCase{"FailureAfter100", Lib({0, 1}, {0, 0, 3}, {0, 100}), "SR", RunState::Idle, T(1312),
                kManualLoad, RecordOutcome::Failed, "FAIL  0 good, 1 failed"},
        RunCase{"FontFileUnprepared",
                [](RunMachineTest& t) {
                    t.main->SetSFile(t.dir.Write("F.HEX", ""));
                    t.main->optFont.checked = true;
                },
                "SR",
                RunState::Idle,
                T(1319),
                {"BootStart:0", "BootShutDown:0", kAsk, "FontLoad:F.HEX"},
                RecordOutcome::Ok,
                "PASS  1 good, 0 failed"},
        // The first close waits for the transfer, says so, and the transfer ends well.
        RunCase{"CloseDuringTransfer", nullptr, "SttC", RunState::Transfer,
                T(1317) + " 7 " + T(1318), kManualLoad, std::nullopt,
                "Finishing the download; close again to end at once"},
        RunCase{"CloseTwice", nullptr, "SttCC", RunState::Idle, T(1317) + " 7 " + T(1318),
                kManualLoad, RecordOutcome::Interrupted,
                "Finishing the download; close again to end at once"},
        RunCase{"CloseWhileWaiting", Lib({0}), "SttC", RunState::Idle, T(1325)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Automatic, RunTable,
    ::testing::Values(
        RunCase{"GoodThenTakenAway", AutoOn, "LR", RunState::Idle, T(1319), kAutoLoad,
                RecordOutcome::Ok, "PASS  1 good, 0 failed"},
        RunCase{"AnswerWithoutDevice", Auto({1}, {0}), "LR", RunState::Idle, T(1323)},
        // A stray byte spoils single checks; only checks failed in a row end the wait.
        RunCase{"NoisyLineKeepsWaiting", Auto({1}, {1, 0, 1, 0, 0, 1, 0, 1}), "LR",
                RunState::WaitRemoval, T(1319), kAutoLoad, RecordOutcome::Ok,
                "PASS  1 good, 0 failed"},
        RunCase{"UnusablePort", Auto({0, 0, -1}), "LR", RunState::Idle, ""},
        RunCase{"SwitchedOffWhileLooking", Auto({0}), "LttAR", RunState::Idle, ""},
        // Nothing to send: counted and alerted once, then a pause before the next look.
        RunCase{"EmptyFileBox",
                [](RunMachineTest& t) {
                    AutoOn(t);
                    t.main->SetSFile("");
                },
                "Ltt",
                RunState::BackOff,
                "Next try in 1 s.",
                {"Beep", "ShowMessage:" + T(1324)}},
        RunCase{"AlertAtTheLimit",
                [](RunMachineTest& t) {
                    AutoOn(t);
                    t.main->module1.AutoFailLimit = 1;
                    t.world.pellin.errors = {4};
                },
                "LR",
                RunState::Idle,
                T(1313),
                {"BootShutDown:1", "BotLoad:X.PLN", "Beep", "ShowMessage:" + T(1324)},
                RecordOutcome::Failed,
                "FAIL  0 good, 1 failed"},
        // A refused image ends the mode at the first scanner, nothing sent.
        RunCase{"RefusedImage",
                [](RunMachineTest& t) {
                    AutoOn(t);
                    t.world.record.refusal = "X.PLN has SHA-256 1, but X.PLN.sha256 pins 2";
                },
                "LR",
                RunState::Idle,
                "X.PLN has SHA-256 1, but X.PLN.sha256 pins 2",
                {"BootShutDown:1"},
                std::nullopt},
        RunCase{"CloseAfterTheFirstSuccess",
                [](RunMachineTest& t) {
                    AutoOn(t);
                    t.main->module1.CmdMode = kCmdAutoClose;
                },
                "LR",
                RunState::Idle,
                T(1319),
                {"BootShutDown:1", "BotLoad:X.PLN", "CloseMainWindow"},
                RecordOutcome::Ok,
                "PASS  1 good, 0 failed"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the run reports of each step: a device found only where the run goes on to the
// transfer, one progress report per change, an outcome per record, the pause's length.
TEST_F(RunMachineTest, ReportsItsSteps) {
    const std::string good = "found 0%0 30%3 70%7 100%9 outcome";
    const std::tuple<const char*, std::function<void(RunMachineTest&)>, const char*, std::string>
        rows[] = {
            {"manual, two looks", Lib({0, 0, 1}), "StR", "waiting waiting " + good},
            {"closed twice", nullptr, "SttCC", "waiting found 0%0 30%3 70%7 outcome"},
            {"auto, then nothing there", Auto({1, 0}), "LRL", good + " waiting"},
            {"answer without a device", Auto({1}, {0}), "LR", ""},
            {"conversion fails",
             [](RunMachineTest& t) {
                 HexImage(t, ":00000001FF\r\n", 5);
                 AutoOn(t);
             },
             "L", "found C.HEX paused1000:" + T(1316) + " 5 Next try in 1 s."},
            // Last: the record's refusal stays for the rows after it.
            {"refused",
             [](RunMachineTest& t) {
                 AutoOn(t);
                 t.world.record.refusal = "pinned otherwise";
             },
             "LR", "found outcome"},
        };
    for (const auto& [name, setUp, script, want] : rows) {
        SetUp();
        if (setUp)
            setUp(*this);
        reported.clear();
        Play(script);
        EXPECT_EQ(reported, want) << name;
    }
}

// The automatic mode switched off during a transfer: Start stays hidden and disabled
// until the transfer has ended, then the mode is off and not re-armed.
TEST_F(RunMachineTest, AutoOffTakesEffectAtTheTransfersEnd) {
    AutoOn(*this);
    Play("LttA");
    EXPECT_EQ(main->run.state(), RunState::Transfer);
    EXPECT_FALSE(main->cmdStart.visible || main->cmdStart.enabled);
    Play("R");
    EXPECT_TRUE(main->cmdStart.visible && main->cmdStart.enabled);
    EXPECT_FALSE(main->t2.enabled || main->mnuAutoQuenlar.checked);
    EXPECT_EQ(main->SB1.panel1, T(1319));
}

// The transfer's time is the clock's at the poll that saw the end, and the bytes hashed
// are the bytes sent: a private copy, whatever happens to the file meanwhile.
TEST_F(RunMachineTest, RecordsWhatWasSentAndWhen) {
    world.pellin.checkZ = {1};
    world.pellin.percents = {0, 10, 20, 30, 100};
    Play("St");
    ASSERT_EQ(world.pellin.loads.size(), 1u);
    const std::string sent = world.pellin.loads[0].substr(std::string("BotLoad:").size());
    Play("X");
    std::ifstream copy(sent, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), kPlnData);
    Play("R");
    ASSERT_EQ(world.record.records.size(), 1u);
    const DownloadRecord& r = world.record.records[0];
    EXPECT_EQ(r.image, pln);
    EXPECT_NE(sent, pln);
    EXPECT_EQ(r.imageSha256, "digest:" + sent);
    // Four polls after the one that started it; the good end's pause is not counted.
    EXPECT_EQ(r.durationMs, 4u * kPollWaitMs);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(sent).parent_path()));
}

// Switching on drives the lines that are on, waits the delay with Start and the switch
// locked, and hides Start; switching off undoes the lines whose options are on.
TEST_F(RunMachineTest, SwitchOnAndOff) {
    main->cboDelay_Select(3);
    const std::uint32_t start = world.clock.now;
    Play("At");
    EXPECT_EQ(main->run.state(), RunState::SwitchingAuto);
    EXPECT_FALSE(main->mnuAutoQuenlar.enabled || main->cmdStart.enabled || main->t2.enabled);
    Play("SAR");
    EXPECT_GE(world.clock.now - start, 3000u);
    EXPECT_EQ(Calls({"PowerOn", "BootOn", "CheckZ"}),
              (std::vector<std::string>{"PowerOn:1", "BootOn:1"}));
    EXPECT_TRUE(main->mnuAutoQuenlar.checked && main->t2.enabled && main->cmdStart.enabled);
    EXPECT_FALSE(main->cmdStart.visible);

    // DTR turned off while the mode runs: its line and lamp stay on at switch-off.
    main->mnuDTR_Click();
    main->SB1.panel1 = "busy";
    world.log.clear();
    Play("A");
    EXPECT_EQ(Calls({"PowerOn", "BootOn"}), (std::vector<std::string>{"BootOn:0"}));
    EXPECT_EQ(main->sDTR.colour, kLineLampOn);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked || main->t2.enabled);
    EXPECT_TRUE(main->cmdStart.visible);
    EXPECT_EQ(main->SB1.panel1, "");
}

// During a manual run the automatic mode cannot be switched on.
TEST_F(RunMachineTest, AutoLockedDuringAManualRun) {
    world.pellin.checkZ = {0, 0, 1};
    Play("StAR");
    EXPECT_FALSE(main->mnuAutoQuenlar.checked || main->t2.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled && main->cmdStart.visible);
    EXPECT_EQ(world.pellin.loads.size(), 1u);
}

// The pause after an image failure: how it ends, and whether the mode looks again.
TEST_F(RunMachineTest, PauseEnds) {
    namespace fs = std::filesystem;
    const std::string gone = dir / "gone.PLN";
    const std::function<void()> none,
        back = [&] { dir.Write("gone.PLN", kPlnData); }, other = [&] { main->SetSFile(pln); },
        off = [&] { Play("A"); }, close = [&] { Play("C"); }, writable = [&] {
            fs::permissions(dir.path(), fs::perms::others_write, fs::perm_options::add);
        };
    const std::tuple<std::function<void()>, std::uint32_t, RunState, bool> rows[] = {
        {none, 950, RunState::BackOff, false}, {none, 1000, RunState::Idle, true},
        {back, 250, RunState::Idle, true},     {writable, 250, RunState::Idle, true},
        {other, 250, RunState::Idle, true},    {off, 0, RunState::Idle, false},
        {close, 0, RunState::Idle, false}};
    int row = 0;
    for (const auto& [during, ms, state, looksAgain] : rows) {
        SetUp();
        fs::remove(gone);
        AutoOn(*this);
        main->SetSFile(gone);
        Play("L");
        if (during)
            during();
        for (std::uint32_t t = 0; t < ms; t += kPollWaitMs)
            Tick();
        EXPECT_EQ(main->run.state(), state) << row;
        EXPECT_EQ(main->t2.enabled, looksAgain) << row++;
    }
}

// Image failures in a row double the pause up to its cap; an attempt that gets as far as
// sending starts afresh. (A failed transfer never pauses: FailuresInARow.)
TEST_F(RunMachineTest, PausesDouble) {
    HexImage(*this, ":00000001FF\r\n");
    world.kaldun.results = {5, 5, 5, 0, 5};
    AutoOn(*this);
    std::vector<std::uint32_t> pauses;
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::filesystem::remove(dir / "C.PLN"); // converted at every attempt
        world.pellin.checkZ = {1};
        world.pellin.checkDevice = {1, 0};
        Play("L");
        pauses.push_back(main->run.backOffMs());
        Play("R");
    }
    EXPECT_EQ(pauses, (std::vector<std::uint32_t>{1000, 2000, 4000, 0, 1000}));
    EXPECT_EQ(BackOffMs(7), kBackOffMaxMs);
    EXPECT_EQ(BackOffMs(1000), kBackOffMaxMs);
}

// The alert comes when the failures in a row reach the limit; a success resets the count.
TEST_F(RunMachineTest, FailuresInARow) {
    const std::pair<const char*, const char*> table[] = {{"FFFFFFF", "..!..!."},
                                                         {"FFSFFF", ".....!"}};
    for (auto [outcomes, alerts] : table) {
        main->module1.AutoFailLimit = 3;
        main->AutoFailCount = 0;
        if (!main->mnuAutoQuenlar.checked)
            AutoOn(*this);
        std::string seen;
        for (const char* o = outcomes; *o; ++o) {
            const auto messages = world.windows.messages.size();
            world.pellin.checkZ = {1};
            world.pellin.checkDevice = {1, 0};
            world.pellin.percents = {0, 100};
            world.pellin.errors = {*o == 'S' ? 0 : 4};
            world.pellin.lastError = 0;
            Play("LR");
            seen += world.windows.messages.size() > messages ? '!' : '.';
            EXPECT_TRUE(main->t2.enabled);
        }
        EXPECT_EQ(seen, alerts) << outcomes;
    }
}

} // namespace
} // namespace kaprin::test
