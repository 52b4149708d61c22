#include "run_fixture.h"

#include <ctime>

namespace kaprin::test {
namespace {

class RunTest : public MainWindowTest {
protected:
    std::string pln;

    void SetUp() override {
        MainWindowTest::SetUp();
        pln = dir.Write("X.PLN", "=00000001FF\r\n");
        main->SetSFile(pln);
        Forget();
    }
};

// An empty file box: the run clears the status and does nothing else.
TEST_F(RunTest, EmptyFileBoxOnlyClearsTheStatus) {
    main->SetSFile("");
    main->SB1.panel1 = "old";
    main->Shape1[4].colour = kChaserLit;
    Forget();
    main->cmdStart_Click();
    EXPECT_EQ(main->SB1.panel1, "");
    EXPECT_TRUE(AllLamps(kChaserIdle));
    EXPECT_TRUE(world.log.empty());
    EXPECT_TRUE(main->cmdStart.enabled);
}

// A good manual run of a PLN file, in the order the device needs.
TEST_F(RunTest, ManualRunOfAPlnFile) {
    main->cboDelay_Select(2);
    world.pellin.checkZ = {0, 0, 1};
    ScriptGoodTransfer();
    std::uint32_t poweredAt = 0, bootedAt = 0;
    bool autoMenuLockedWhileWaiting = false;
    world.pellin.onProbe = [&] {
        autoMenuLockedWhileWaiting = !main->mnuAutoQuenlar.enabled && main->cmdStop.enabled &&
                                     !main->cmdStart.enabled && main->SB1.panel1 == T(1325);
        if (bootedAt == 0)
            bootedAt = world.clock.now;
    };
    world.log.clear();
    poweredAt = world.clock.now;
    main->cmdStart_Click();

    EXPECT_EQ(Calls({"PowerOn", "BootOn", "CheckZ", "BootStart", "BootShutDown", "AskYesNo",
                     "BotLoad", "FontLoad"}),
              (std::vector<std::string>{"PowerOn:0", "PowerOn:1", "BootOn:0", "BootOn:1",
                                        "CheckZ=0", "CheckZ=0", "CheckZ=1", "BootStart:0",
                                        "BootShutDown:0", "AskYesNo:" + T(1304) + "=Yes",
                                        "BotLoad:" + pln, "PowerOn:0", "BootOn:0"}));
    EXPECT_GE(bootedAt - poweredAt, 2000u); // the delay lies between the two lines
    EXPECT_TRUE(autoMenuLockedWhileWaiting);
    EXPECT_EQ(main->SB1.panel1, T(1319));
    EXPECT_EQ(main->SB1.panel2, "");
    EXPECT_EQ(main->PB1.value, 0);
    EXPECT_TRUE(AllLamps(kChaserPassed));
    EXPECT_FALSE(main->t1.enabled);
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_FALSE(main->cmdStop.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_EQ(main->sDTR.colour, kLineLampOff);
    EXPECT_EQ(main->sRTS.colour, kLineLampOff);
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), pln);
    EXPECT_EQ(main->List1.items.size(), 3u); // the file times replace the "PLN:" line
    EXPECT_TRUE(EveryPumpIsBounded());
}

// Options off: no line is driven before the transfer, both are switched off after it,
// and the after-load flags follow their items.
TEST_F(RunTest, OptionsOffAndAfterLoadFlags) {
    main->mnuDTR.checked = main->mnuRTS.checked = main->mnuQuenlar.checked = false;
    main->mnuBotShutDown.checked = true;
    main->cboDelay_Type("fast");
    world.pellin.checkZ = {1};
    ScriptGoodTransfer();
    const std::uint32_t before = world.clock.now;
    bool probedAtOnce = false;
    world.pellin.onProbe = [&] { probedAtOnce = world.clock.now == before; };
    main->cmdStart_Click();
    EXPECT_TRUE(probedAtOnce); // a typed delay selects no entry: no wait
    EXPECT_EQ(Calls({"PowerOn", "BootOn", "BootStart", "BootShutDown", "AskYesNo"}),
              (std::vector<std::string>{"BootStart:0", "BootShutDown:1", "PowerOn:0", "BootOn:0"}));
}

// Stop ends the wait for the device at its next check.
TEST_F(RunTest, StopEndsTheWait) {
    world.pellin.checkZ = {0};
    world.windows.At(world.windows.pumps + 3, [&] { main->cmdStop_Click(); });
    main->cmdStart_Click();
    EXPECT_EQ(world.pellin.checkZCalls, 3);
    EXPECT_EQ(main->SB1.panel1, T(1326));
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_FALSE(main->cmdStop.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_TRUE(Calls({"BootStart", "BotLoad"}).empty());
    EXPECT_EQ(main->sDTR.colour, kLineLampOn); // the lines stay as the run left them
}

// Clicks on disabled buttons do nothing: no second run inside a running one, and Stop
// outside the wait leaves the status alone.
TEST_F(RunTest, DisabledButtonsIgnoreClicks) {
    world.pellin.checkZ = {0, 1};
    ScriptGoodTransfer();
    world.windows.At(world.windows.pumps + 1, [&] { main->cmdStart_Click(); });
    main->cmdStart_Click();
    EXPECT_EQ(world.pellin.checkZCalls, 2);
    EXPECT_EQ(world.pellin.loads.size(), 1u);
    main->cmdStop_Click();
    EXPECT_EQ(main->SB1.panel1, T(1319));
}

// A port that cannot be used ends the run with an empty status.
TEST_F(RunTest, UnusablePortEndsTheRun) {
    world.pellin.checkZ = {0, -1};
    main->cmdStart_Click();
    EXPECT_EQ(world.pellin.checkZCalls, 2);
    EXPECT_EQ(main->SB1.panel1, "");
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_FALSE(main->cmdStop.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_TRUE(world.pellin.loads.empty());
}

// No to the transfer question: nothing is sent, the lines and lamps stay.
TEST_F(RunTest, DeclinedTransfer) {
    world.pellin.checkZ = {1};
    world.windows.yesNoAnswers = {false};
    main->cmdStart_Click();
    EXPECT_TRUE(world.pellin.loads.empty());
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_TRUE(world.pellin.powerOn);
    EXPECT_TRUE(world.pellin.bootOn);
    EXPECT_TRUE(AllLamps(kChaserIdle)); // as the run's start left them
    EXPECT_EQ(main->List1.items.size(), 3u);
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), "");
}

// A file that is gone by the time the device answers: text 1314, nothing sent, the
// file is not added to the recent files and the lines stay on.
TEST_F(RunTest, MissingFileIsFoundAfterTheWait) {
    main->SetSFile(dir / "gone.PLN");
    Forget();
    world.pellin.checkZ = {0, 1};
    main->cmdStart_Click();
    EXPECT_EQ(world.pellin.checkZCalls, 2);
    EXPECT_EQ(main->SB1.panel1, T(1314));
    EXPECT_TRUE(world.pellin.loads.empty());
    EXPECT_TRUE(world.windows.questions.empty());
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), "");
    EXPECT_TRUE(world.pellin.powerOn);
    EXPECT_TRUE(AllLamps(kChaserPassed));
    EXPECT_TRUE(main->cmdStart.enabled);
}

// A failed transfer still adds the file to the recent files and switches the lines off.
TEST_F(RunTest, FailedTransferIsStillRecorded) {
    world.pellin.checkZ = {1};
    world.pellin.errors = {0, 4};
    main->cmdStart_Click();
    EXPECT_EQ(main->SB1.panel1, T(1313));
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), pln);
    EXPECT_FALSE(world.pellin.powerOn);
    EXPECT_FALSE(world.pellin.bootOn);
}

// A step click during the transfer decides which path the recent files get.
TEST_F(RunTest, RecentFileIsReadAfterTheTransfer) {
    const std::string other = dir.Write("Y.PLN", "");
    world.pellin.checkZ = {1};
    world.pellin.percents = {0, 10, 20, 100};
    world.windows.At(world.windows.pumps + 2, [&] { main->SetSFile(other); });
    main->cmdStart_Click();
    EXPECT_EQ(world.pellin.loads, (std::vector<std::string>{"BotLoad:" + pln}));
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), other);
}

// ---- RunDownload ------------------------------------------------------------------------

struct TransferCase {
    const char* name;
    std::deque<std::int32_t> percents, blocks, errors;
    bool finished;
    int text;             // panel 1 afterwards; 0 for the progress line
    std::vector<int> bar; // PB1 at each pump
    friend void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }
};

class TransferTest : public RunTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTest, EndsAsTheLibraryReports) {
    const auto& c = GetParam();
    world.pellin.percents = c.percents;
    world.pellin.blocks = c.blocks;
    world.pellin.errors = c.errors;
    main->LoadFile = pln;
    std::vector<int> bar;
    std::vector<std::string> panel2;
    std::string progressLine;
    world.windows.Every(1, [&] {
        if (main->SB1.panel1.rfind(T(1317), 0) == 0) {
            bar.push_back(main->PB1.value);
            panel2.push_back(main->SB1.panel2);
            progressLine = main->SB1.panel1;
        }
        return false;
    });
    const std::uint32_t start = world.clock.now;
    EXPECT_EQ(main->RunDownload(), c.finished);
    EXPECT_EQ(bar, c.bar);
    for (std::size_t i = 0; i < bar.size(); ++i)
        EXPECT_EQ(panel2[i], std::to_string(bar[i]) + "%");
    EXPECT_EQ(main->SB1.panel1, c.text ? T(c.text) : progressLine);
    if (c.finished) {
        EXPECT_GE(world.clock.now - start, 200u + c.bar.size() * kPollWaitMs);
    }
    EXPECT_EQ(main->SB1.panel2, "");
    EXPECT_EQ(main->PB1.value, 0);
    EXPECT_EQ(world.pellin.loads, (std::vector<std::string>{"BotLoad:" + pln}));
    EXPECT_TRUE(EveryPumpIsBounded());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TransferTest,
    ::testing::Values(
        TransferCase{"Good", {0, 50, 100}, {0, 4, 8}, {0}, true, 1319, {50, 100}},
        TransferCase{"Above100IsShownAs100", {0, 101}, {0, 8}, {0}, true, 1319, {100}},
        TransferCase{
            "NegativePercentKeepsTheBarAtZero", {0, -3, 100}, {0}, {0}, true, 1319, {0, 100}},
        TransferCase{"Timeout", {0, 10}, {0, 1}, {0, 0, 1}, false, 1311, {10, 10}},
        TransferCase{"Checksum", {0}, {0}, {0, 2}, false, 1306, {0}},
        TransferCase{"ProgramFail", {0}, {0}, {0, 3}, false, 1312, {0}},
        TransferCase{"NoLink", {0}, {0}, {4}, false, 1313, {}},
        TransferCase{"CannotOpen", {0}, {0}, {5}, false, 1314, {}},
        TransferCase{"Other", {0}, {0}, {0, -7}, false, 1315, {0}},
        // The code comes after the final percent: it is read once more.
        TransferCase{"FailureAfter100", {0, 100}, {0, 9}, {0, 0, 3}, false, 1312, {100}},
        // Percent 100 and a code in one poll: the code read there counts (reading
        // clears it, so it is not read again).
        TransferCase{"FailureWith100", {0, 100}, {0, 9}, {0, 2, 0}, false, 1306, {100}}),
    [](const auto& info) { return std::string(info.param.name); });

// The progress line names the block count between texts 1317 and 1318.
TEST_F(RunTest, ProgressLine) {
    world.pellin.percents = {0, 20, 100};
    world.pellin.blocks = {0, 12, 13};
    std::vector<std::string> lines;
    world.windows.Every(1, [&] {
        lines.push_back(main->SB1.panel1);
        return true;
    });
    main->RunDownload();
    EXPECT_EQ(lines, (std::vector<std::string>{T(1317) + " 12 " + T(1318)}));
}

// With optFont selected the file goes to FontLoad unchanged, without preparation.
TEST_F(RunTest, FontFileIsSentUnchanged) {
    const std::string hex = dir.Write("F.HEX", ":00000001FF\r\n");
    main->SetSFile(hex);
    main->optFont.checked = true;
    main->List1.items = {"kept"};
    EXPECT_EQ(main->PrepareLoad(), 0);
    EXPECT_EQ(main->List1.items, (std::vector<std::string>{"kept"}));
    EXPECT_EQ(main->LoadFile, hex);
    world.pellin.percents = {100};
    EXPECT_TRUE(main->RunDownload());
    EXPECT_EQ(world.pellin.loads, (std::vector<std::string>{"FontLoad:" + hex}));
    EXPECT_TRUE(world.kaldun.calls.empty());
}

// ---- PrepareLoad ------------------------------------------------------------------------

enum class Pln { None, Older, Same, Newer };

struct PrepareCase {
    const char* name;
    const char* image;  // file name of the image in the folder
    Pln pln;            // the PLN file beside it and its time against the image
    bool convertPrompt; // mnuConvert
    std::deque<bool> answers;
    std::int32_t kaldun;
    std::int16_t result;
    std::vector<std::string> prefixes; // of the List1 lines
    std::vector<int> questions;
    bool converted;
    const char* panel1; // afterwards, "" when untouched
    friend void PrintTo(const PrepareCase& c, std::ostream* os) { *os << c.name; }
};

class PrepareTest : public RunTest, public ::testing::WithParamInterface<PrepareCase> {};

TEST_P(PrepareTest, ChoosesAndConverts) {
    const auto& c = GetParam();
    const std::time_t imageTime = 1700000000;
    const std::string image = dir.Write(c.image, ":00000001FF\r\n");
    TempDir::SetTimes(image, imageTime);
    const std::string base = image.substr(0, image.size() - 3);
    if (c.pln != Pln::None) {
        const std::string beside = dir.Write(std::string(c.image).substr(0, 2) + "PLN", "=");
        const std::time_t offset = c.pln == Pln::Older ? -60 : c.pln == Pln::Newer ? 60 : 0;
        TempDir::SetTimes(beside, imageTime + offset);
    }
    main->SetSFile(image);
    main->mnuConvert.checked = c.convertPrompt;
    world.windows.yesNoAnswers = c.answers;
    world.kaldun.results = {c.kaldun};
    main->SB1.panel1 = "";
    Forget();

    EXPECT_EQ(main->PrepareLoad(), c.result);
    std::vector<std::string> prefixes;
    for (const auto& line : main->List1.items)
        prefixes.push_back(line.substr(0, line.find(':') + 1));
    EXPECT_EQ(prefixes, c.prefixes);
    std::vector<std::string> asked;
    for (int id : c.questions)
        asked.push_back(T(id));
    EXPECT_EQ(world.windows.questions, asked);
    EXPECT_EQ(world.kaldun.calls,
              c.converted ? std::vector<std::string>{image} : std::vector<std::string>{});
    const bool plnKind =
        std::string(c.image).ends_with("PLN") || std::string(c.image).ends_with("pln");
    EXPECT_EQ(main->LoadFile, plnKind ? image : base + "PLN");
    EXPECT_EQ(main->SB1.panel1, c.panel1);
}

// Pln::Older means the PLN file is older than the image, so the image is newer.
INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareTest,
    ::testing::Values(
        PrepareCase{"PlnFile", "Y.PLN", Pln::None, true, {}, 0, 0, {"PLN:"}, {}, false, ""},
        PrepareCase{"LowerCasePln", "Y.pln", Pln::None, true, {}, 0, 0, {"PLN:"}, {}, false, ""},
        PrepareCase{"ImageOlderThanPln",
                    "Y.HEX",
                    Pln::Newer,
                    true,
                    {},
                    0,
                    0,
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    false,
                    ""},
        PrepareCase{"ImageAsOldAsPln",
                    "Y.HEX",
                    Pln::Same,
                    true,
                    {},
                    0,
                    0,
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    false,
                    ""},
        PrepareCase{"NewerImageNoPrompt",
                    "Y.HEX",
                    Pln::Older,
                    false,
                    {},
                    0,
                    0,
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    true,
                    ""},
        PrepareCase{"NewerImageYes",
                    "Y.HEC",
                    Pln::Older,
                    true,
                    {true},
                    0,
                    0,
                    {"HEX:", "PLN:", "Load:"},
                    {1300},
                    true,
                    ""},
        PrepareCase{"NewerImageNoSendsTheOldPln",
                    "Y.HEX",
                    Pln::Older,
                    true,
                    {false},
                    0,
                    0,
                    {"HEX:", "PLN:", "Load:"},
                    {1300},
                    false,
                    ""},
        PrepareCase{"NoPlnYes", "Y.H00", Pln::None, true, {true}, 0, 0, {"HEX:"}, {1302}, true, ""},
        PrepareCase{"NoPlnNoPrompt", "Y.hec", Pln::None, false, {}, 0, 0, {"HEX:"}, {}, true, ""},
        PrepareCase{
            "NoPlnNo", "Y.HEX", Pln::None, true, {false}, 0, 0, {"HEX:"}, {1302}, false, ""},
        // A failed conversion ends the run, with or without an earlier PLN file.
        PrepareCase{"ConversionFailsOverOldPln",
                    "Y.HEX",
                    Pln::Older,
                    false,
                    {},
                    7,
                    7,
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    true,
                    "T1316 7"},
        PrepareCase{"ConversionFailsWithoutPln",
                    "Y.HEX",
                    Pln::None,
                    false,
                    {},
                    3,
                    3,
                    {"HEX:"},
                    {},
                    true,
                    "T1316 3"},
        PrepareCase{"OnlyTheLow16BitsCount",
                    "Y.HEX",
                    Pln::None,
                    false,
                    {},
                    0x10000,
                    0,
                    {"HEX:"},
                    {},
                    true,
                    ""},
        PrepareCase{"Low16BitsAreSigned",
                    "Y.HEX",
                    Pln::None,
                    false,
                    {},
                    0x1FFFF,
                    -1,
                    {"HEX:"},
                    {},
                    true,
                    "T1316 -1"}),
    [](const auto& info) { return std::string(info.param.name); });

// A date line is its prefix followed by the file's last-modified local time.
TEST_F(RunTest, DateLineShowsTheModifiedTime) {
    std::tm when{};
    when.tm_year = 2005 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 21;
    when.tm_min = 5;
    when.tm_sec = 3;
    when.tm_isdst = -1;
    TempDir::SetTimes(pln, std::mktime(&when));
    ASSERT_EQ(main->PrepareLoad(), 0);
    EXPECT_EQ(main->List1.items, (std::vector<std::string>{"PLN:2005/03/07 21:05:03"}));
}

// A missing file, or a folder, is not prepared.
TEST_F(RunTest, NothingToPrepare) {
    std::filesystem::create_directory(dir / "D.PLN");
    for (const std::string& path : {dir / "none.PLN", dir / "D.PLN"}) {
        main->SetSFile(path);
        main->SB1.panel1.clear();
        main->List1.items = {"kept"};
        EXPECT_EQ(main->PrepareLoad(), 1) << path;
        EXPECT_EQ(main->SB1.panel1, T(1314));
        EXPECT_EQ(main->List1.items, (std::vector<std::string>{"kept"}));
    }
}

// A HEX image converted during a manual run is then sent as its PLN file.
TEST_F(RunTest, ManualRunConvertsThenSends) {
    const std::string hex = dir.Write("C.HEX", ":00000001FF\r\n");
    const std::string converted = dir / "C.PLN";
    world.kaldun.onConvert = [&](const std::string&) { dir.Write("C.PLN", "=00000001FF\r\n"); };
    main->SetSFile(hex);
    main->mnuQuenlar.checked = false;
    world.pellin.checkZ = {1};
    ScriptGoodTransfer();
    world.log.clear();
    main->cmdStart_Click();
    EXPECT_EQ(Calls({"AskYesNo", "KALDUN", "BotLoad"}),
              (std::vector<std::string>{"AskYesNo:" + T(1302) + "=Yes", "KALDUN:" + hex + "=0",
                                        "BotLoad:" + converted}));
    EXPECT_EQ(main->SB1.panel1, T(1319));
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), hex);
}

// A conversion failure ends a manual run before anything is sent.
TEST_F(RunTest, ManualRunEndsOnAConversionFailure) {
    const std::string hex = dir.Write("E.HEX", "garbage");
    main->SetSFile(hex);
    world.pellin.checkZ = {1};
    world.kaldun.results = {2};
    main->cmdStart_Click();
    EXPECT_EQ(main->SB1.panel1, T(1316) + " 2");
    EXPECT_TRUE(world.pellin.loads.empty());
    EXPECT_TRUE(world.pellin.powerOn); // lines are switched off only after a transfer
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_TRUE(main->mnuAutoQuenlar.enabled);
    EXPECT_EQ(world.store.ReadSetting("RecentFile", "File1"), "");
}

} // namespace
} // namespace kaprin::test
