#include "run_fixture.h"

#include <ctime>

namespace kaprin::test {
namespace {

constexpr const char* kPlnData = ":0140000000BF\r\n";

class RunTest : public MainWindowTest {
public:
    // The table's set-up steps reach the fixture from outside.
    using MainWindowTest::dir;
    using MainWindowTest::main;
    using MainWindowTest::world;

protected:
    std::string pln;

    void SetUp() override {
        MainWindowTest::SetUp();
        pln = dir.Write("X.PLN", kPlnData);
        main->SetSFile(pln);
        Forget();
    }
};

// A good run drives the device in the order it needs, with the delay between the two
// lines, the automatic mode locked while waiting, and the file times shown afterwards.
TEST_F(RunTest, ManualRunOrder) {
    main->cboDelay_Select(2);
    world.pellin.checkZ = {0, 1};
    ScriptGoodTransfer();
    std::uint32_t bootedAt = 0;
    bool lockedWhileWaiting = false;
    world.pellin.onProbe = [&] {
        lockedWhileWaiting = !main->mnuAutoQuenlar.enabled && main->SB1.panel1 == T(1325);
        if (bootedAt == 0)
            bootedAt = world.clock.now;
    };
    world.clock.now = 0xFFFFFF00u; // the delay spans the tick counter's wrap-around
    const std::uint32_t poweredAt = world.clock.now;
    Click();
    EXPECT_EQ(
        Calls({"PowerOn", "BootOn", "CheckZ", "BootStart", "BootShutDown", "AskYesNo", "BotLoad"}),
        (std::vector<std::string>{
            "PowerOn:0", "PowerOn:1", "BootOn:0", "BootOn:1", "CheckZ=0", "CheckZ=1", "BootStart:0",
            "BootShutDown:0", "AskYesNo:" + T(1304) + "=Yes",
            "BotLoad:" + world.pellin.loads[0].substr(8), "PowerOn:0", "BootOn:0"}));
    EXPECT_GE(bootedAt - poweredAt, 2000u);
    EXPECT_LT(bootedAt - poweredAt, 2100u);
    EXPECT_TRUE(lockedWhileWaiting);
    EXPECT_TRUE(AllLamps(kChaserPassed));
    EXPECT_EQ(main->List1.items.size(), 3u);
}

// ---- The transfer's polls ----------------------------------------------------------------

struct TransferCase {
    const char* name;
    std::deque<std::int32_t> percents, errors;
    RunResult result;
    std::vector<int> bar; // PB1 at each pump
    friend void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }
};

class TransferTest : public RunTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTest, EndsAsTheLibraryReports) {
    const auto& c = GetParam();
    world.pellin.percents = c.percents;
    world.pellin.blocks = {0, 5};
    world.pellin.errors = c.errors;
    world.pellin.checkZ = {1};
    std::vector<int> bar;
    world.windows.Every(1, [&] {
        if (main->run.state() != RunState::Transfer)
            return false;
        bar.push_back(main->PB1.value);
        EXPECT_EQ(main->SB1.panel2, std::to_string(main->PB1.value) + "%");
        EXPECT_EQ(main->SB1.panel1, T(1317) + " 5 " + T(1318));
        return false;
    });
    EXPECT_EQ(Click().result, c.result);
    EXPECT_EQ(bar, c.bar);
}

INSTANTIATE_TEST_SUITE_P(
    Polls, TransferTest,
    ::testing::Values(
        TransferCase{"Good", {0, 50, 100}, {0}, RunResult::Finished, {50, 100}},
        TransferCase{"Above100IsShownAs100", {0, 101}, {0}, RunResult::Finished, {100}},
        TransferCase{"NegativePercentIsZero", {0, -3, 100}, {0}, RunResult::Finished, {0, 100}},
        TransferCase{"CodeAtOnce", {0}, {4}, RunResult::TransferFailed, {}},
        // Percent 100 and a code in one poll: the code read there counts.
        TransferCase{"FailureWith100", {0, 100}, {0, 2, 0}, RunResult::TransferFailed, {100}}),
    [](const auto& info) { return std::string(info.param.name); });

// The status text of each library code.
TEST(StatusTextOf, LibraryCodes) {
    const std::pair<std::int32_t, TextId> table[] = {
        {1, TextId::TimeOut}, {2, TextId::ChecksumError}, {3, TextId::ProgramFail},
        {4, TextId::NoLink},  {5, TextId::CannotOpen},    {-7, TextId::OtherError}};
    for (auto [code, id] : table) {
        DownloadOutcome o{RunResult::TransferFailed, code};
        EXPECT_EQ(StatusTextOf(o).kind, StatusText::Text) << code;
        EXPECT_EQ(StatusTextOf(o).id, id) << code;
    }
}

// ---- Preparation ---------------------------------------------------------------------------

enum class Pln { None, Older, Same, Newer };

struct PrepareCase {
    const char* name;
    const char* image;  // file name of the image in the folder
    Pln pln;            // the PLN file beside it and its time against the image
    bool convertPrompt; // mnuConvert
    std::deque<bool> answers;
    std::vector<std::string> prefixes; // of the List1 lines
    std::vector<int> questions;
    bool converted;
    friend void PrintTo(const PrepareCase& c, std::ostream* os) { *os << c.name; }
};

class PrepareTest : public RunTest, public ::testing::WithParamInterface<PrepareCase> {};

TEST_P(PrepareTest, ChoosesAndConverts) {
    const auto& c = GetParam();
    const std::time_t imageTime = 1700000000;
    const bool plnKind = c.image[2] == 'P' || c.image[2] == 'p';
    const std::string image = dir.Write(c.image, plnKind ? kPlnData : ":00000001FF\r\n");
    TempDir::SetTimes(image, imageTime);
    if (c.pln != Pln::None) {
        const std::string beside = dir.Write(std::string(c.image).substr(0, 2) + "PLN", kPlnData);
        const std::time_t offset = c.pln == Pln::Older ? -60 : c.pln == Pln::Newer ? 60 : 0;
        TempDir::SetTimes(beside, imageTime + offset);
    }
    main->SetSFile(image);
    main->mnuConvert.checked = c.convertPrompt;
    world.windows.yesNoAnswers = c.answers;
    Forget();

    EXPECT_EQ(main->PrepareLoad(), std::nullopt);
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
    EXPECT_EQ(main->LoadFile, plnKind ? image : image.substr(0, image.size() - 3) + "PLN");
}

// Pln::Older means the PLN file is older than the image, so the image is newer.
INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareTest,
    ::testing::Values(
        PrepareCase{"PlnFile", "Y.PLN", Pln::None, true, {}, {"PLN:"}, {}, false},
        PrepareCase{"LowerCasePln", "Y.pln", Pln::None, true, {}, {"PLN:"}, {}, false},
        PrepareCase{"ImageOlderThanPln",
                    "Y.HEX",
                    Pln::Newer,
                    true,
                    {},
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    false},
        PrepareCase{
            "ImageAsOldAsPln", "Y.HEX", Pln::Same, true, {}, {"HEX:", "PLN:", "Load:"}, {}, false},
        PrepareCase{"NewerImageNoPrompt",
                    "Y.HEX",
                    Pln::Older,
                    false,
                    {},
                    {"HEX:", "PLN:", "Load:"},
                    {},
                    true},
        PrepareCase{"NewerImageYes",
                    "Y.HEC",
                    Pln::Older,
                    true,
                    {true},
                    {"HEX:", "PLN:", "Load:"},
                    {1300},
                    true},
        PrepareCase{"NewerImageNoSendsTheOldPln",
                    "Y.HEX",
                    Pln::Older,
                    true,
                    {false},
                    {"HEX:", "PLN:", "Load:"},
                    {1300},
                    false},
        PrepareCase{"NoPlnNoPrompt", "Y.hec", Pln::None, false, {}, {"HEX:"}, {}, true},
        // The run goes on and the library reports the missing PLN file.
        PrepareCase{"NoPlnNo", "Y.HEX", Pln::None, true, {false}, {"HEX:"}, {1302}, false}),
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
    ASSERT_EQ(main->PrepareLoad(), std::nullopt);
    EXPECT_EQ(main->List1.items, (std::vector<std::string>{"PLN:2005/03/07 21:05:03"}));
}

// With optFont selected the file is sent unchanged, without preparation.
TEST_F(RunTest, FontFileIsSentUnchanged) {
    const std::string hex = dir.Write("F.HEX", "");
    main->SetSFile(hex);
    main->optFont.checked = true;
    main->List1.items = {"kept"};
    EXPECT_EQ(main->PrepareLoad(), std::nullopt);
    EXPECT_EQ(main->List1.items, (std::vector<std::string>{"kept"}));
    EXPECT_EQ(main->LoadFile, hex);
    EXPECT_TRUE(world.kaldun.calls.empty());
}

} // namespace
} // namespace kaprin::test
