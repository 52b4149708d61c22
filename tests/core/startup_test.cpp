#include "kaprin/core/frm_main.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <map>

namespace kaprin {
namespace {

using test::CallLog;
using test::FakeWorld;
using test::TempDir;

const char* kEnglish = "#1000 Title\n#1200 Source File\n#1202 Start\n#1320 Created\n"
                       "#1321 Modified\n#1322 Accessed\n";

struct StartupTest : ::testing::Test {
    FakeWorld world;
    TempDir programDir;
    void SetUp() override { programDir.Write("Language/English.ini", kEnglish); }
    std::unique_ptr<FrmMain> Start(const std::string& commandLine = "") {
        auto main =
            std::make_unique<FrmMain>(world.ports(), programDir.path().string(), commandLine);
        main->Form_Load();
        return main;
    }
    void Store(const std::string& section, const std::string& key, const std::string& value) {
        world.store.values[{section, key}] = value;
    }
};

struct CommandLineCase {
    const char* line;
    std::vector<std::string> words; // upper-cased as stored
    bool given;
    std::int16_t mode;
    const char* file;
    std::int16_t limit;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class CommandLineTest : public StartupTest,
                        public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, SplitAndParse) {
    const auto& c = GetParam();
    auto main = Start(c.line);
    const auto& m = main->module1;
    ASSERT_EQ(m.CmdWordCount, static_cast<int>(c.words.size()));
    for (std::size_t i = 0; i < c.words.size(); ++i)
        EXPECT_EQ(m.CmdWords[i], c.words[i]);
    EXPECT_EQ(m.CmdGiven, c.given);
    EXPECT_EQ(m.CmdMode, c.mode);
    EXPECT_EQ(m.CmdFile, c.file);
    EXPECT_EQ(m.AutoFailLimit, c.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"", {}, false, 0, "", 0}, CommandLineCase{"   ", {}, false, 0, "", 0},
        CommandLineCase{"-F=/fw/X.PLN", {"-F=/FW/X.PLN"}, true, 0, "/fw/X.PLN", 3},
        CommandLineCase{"-a", {"-A"}, true, kCmdAuto, "", 3},
        // The path keeps the letter case typed; the option letter is matched in any case.
        CommandLineCase{"-f=/fw/x.pln", {"-F=/FW/X.PLN"}, true, 0, "/fw/x.pln", 3},
        CommandLineCase{"-f:/fw/x.pln", {"-F:/FW/X.PLN"}, true, 0, "/fw/x.pln", 3},
        CommandLineCase{"-C -E5 -F=/fw/X.PLN",
                        {"-C", "-E5", "-F=/FW/X.PLN"},
                        true,
                        kCmdAutoClose,
                        "/fw/X.PLN",
                        5},
        CommandLineCase{"-E12", {"-E12"}, true, 0, "", 9},
        CommandLineCase{"-E", {"-E"}, true, 0, "", 3},
        CommandLineCase{"-Exyz", {"-EXYZ"}, true, 0, "", 3},
        CommandLineCase{"-E0", {"-E0"}, true, 0, "", 0},
        CommandLineCase{"-E-2", {"-E-2"}, true, 0, "", -2},
        // Every number above 9 gives 9, however large; below, the 16-bit range holds.
        CommandLineCase{"-E40000", {"-E40000"}, true, 0, "", 9},
        CommandLineCase{"-E99999999999", {"-E99999999999"}, true, 0, "", 9},
        CommandLineCase{"-E-99999999999", {"-E-99999999999"}, true, 0, "", INT16_MIN},
        CommandLineCase{"-S -A", {"-S", "-A"}, true, kCmdAuto, "", 3},
        CommandLineCase{"-A -D", {"-A", "-D"}, true, kCmdShutDown, "", 3},
        CommandLineCase{"x.pln -A", {"X.PLN", "-A"}, true, kCmdAuto, "", 3},
        CommandLineCase{" -A  -S", {"-A", "-S"}, true, kCmdStart, "", 3},
        CommandLineCase{
            "-A -E5 -F=/X.PLN -S", {"-A", "-E5", "-F=/X.PLN"}, true, kCmdAuto, "/X.PLN", 5},
        // "-F" with nothing after it is ignored.
        CommandLineCase{"-F", {"-F"}, true, 0, "", 3},
        CommandLineCase{"-F=", {"-F="}, true, 0, "", 3},
        CommandLineCase{"-F=/a.PLN -F=", {"-F=/A.PLN", "-F="}, true, 0, "/a.PLN", 3},
        CommandLineCase{"-", {"-"}, true, 0, "", 3}));

// The first start of all: every value takes its default.
TEST_F(StartupTest, EmptyStoreGivesFirstRunState) {
    auto main = Start();
    EXPECT_EQ(main->Caption, "Title");
    EXPECT_EQ(main->Label1[0].caption, "Source File");
    EXPECT_EQ(main->cmdBorwse.caption, ""); // not in this language file
    EXPECT_EQ(main->txtSFile.text, "");
    EXPECT_TRUE(main->List1.items.empty());
    EXPECT_EQ(world.pellin.usePortCalls,
              (std::vector<std::pair<std::int32_t, std::int32_t>>{{0, 115200}}));
    EXPECT_EQ(main->lblPort.caption, "COM1");
    EXPECT_TRUE(main->mnuDTR.checked);
    EXPECT_TRUE(main->mnuRTS.checked);
    EXPECT_TRUE(main->mnuConvert.checked);
    EXPECT_TRUE(main->mnuQuenlar.checked);
    EXPECT_FALSE(main->mnuBotStart.checked);
    EXPECT_FALSE(main->mnuBotShutDown.checked);
    EXPECT_FALSE(main->mnuEMode.visible);
    EXPECT_FALSE(main->Frame3.visible);
    EXPECT_EQ(main->HeightTwips, 4530);
    EXPECT_EQ(main->PB1TopTwips, 3480);
    EXPECT_EQ(main->cboDelay.listIndex, 0);
    EXPECT_EQ(main->LampIndex, 0);
    EXPECT_EQ(main->AutoFailCount, 0);
    EXPECT_FALSE(main->mnuLine2.visible);
    for (const auto& item : main->mnuRF)
        EXPECT_FALSE(item.visible);
    // Both line flags off, then the port: nothing else reaches the library.
    EXPECT_EQ(world.log, (CallLog{"PowerOn:0", "BootOn:0", "usePort:0,115200"}));
    EXPECT_TRUE(world.store.writes.empty());
}

// Start-up restores the stored language, file, port and options.
TEST_F(StartupTest, StoredValuesAreRestored) {
    programDir.Write("Language/Other.ini", "#1000 Other title\n");
    const std::string file = programDir.Write("fw/X.PLN", "data");
    Store("Setup", "Language", "Other.ini");
    Store("RecentFile", "File1", file);
    Store("Comm", "COM PORT", "2");
    Store("Comm", "BAUD RATE", "3");
    Store("Setup", "DTR", "False");
    Store("Setup", "START", "True");
    auto main = Start();
    EXPECT_EQ(main->Caption, "Other title");
    EXPECT_EQ(main->txtSFile.text, file);
    ASSERT_EQ(main->List1.items.size(), 3u);
    EXPECT_EQ(main->List1.items[0].rfind(" : ", 0), 0u) << "Other.ini has no 1320";
    EXPECT_EQ(world.pellin.usePortCalls.back(), std::make_pair(2, 57600));
    EXPECT_EQ(main->lblPort.caption, "COM3");
    EXPECT_FALSE(main->mnuDTR.checked);
    EXPECT_TRUE(main->mnuBotStart.checked);
    EXPECT_TRUE(world.store.writes.empty());
}

// A stored language file that is gone: English.ini, without a message and without
// changing the stored name.
TEST_F(StartupTest, DeletedLanguageFileFallsBackToEnglish) {
    Store("Setup", "Language", "Gone.ini");
    auto main = Start();
    EXPECT_EQ(main->Caption, "Title");
    EXPECT_EQ(world.store.ReadSetting("Setup", "Language"), "Gone.ini");
    EXPECT_TRUE(world.windows.messages.empty());
}

// An empty stored name is the default.
TEST_F(StartupTest, EmptyLanguageNameLoadsEnglish) {
    Store("Setup", "Language", "");
    EXPECT_EQ(Start()->Caption, "Title");
}

struct PortCase {
    const char* port;
    const char* baud;
    std::int32_t portIndex, baudRate;
    const char* label;
};

void PrintTo(const PortCase& c, std::ostream* os) {
    *os << "port \"" << c.port << "\" baud \"" << c.baud << '"';
}

class StartupPortTest : public StartupTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(StartupPortTest, PortAndBaud) {
    const auto& c = GetParam();
    if (*c.port)
        Store("Comm", "COM PORT", c.port);
    if (*c.baud)
        Store("Comm", "BAUD RATE", c.baud);
    auto main = Start();
    ASSERT_EQ(world.pellin.usePortCalls.size(), 1u);
    EXPECT_EQ(world.pellin.usePortCalls[0], std::make_pair(c.portIndex, c.baudRate));
    EXPECT_EQ(main->lblPort.caption, c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupPortTest,
    ::testing::Values(PortCase{"", "", 0, 115200, "COM1"}, PortCase{"0", "0", 0, 9600, "COM1"},
                      PortCase{"2", "2", 2, 38400, "COM3"}, PortCase{"19", "1", 19, 19200, "COM20"},
                      PortCase{"", "9600", 0, 9600, "COM1"}, PortCase{"", "4", 0, 115200, "COM1"},
                      // Unreadable or outside the list: defaults.
                      PortCase{"20", "abc", 0, 115200, "COM1"},
                      PortCase{"-1", "2.5", 0, 115200, "COM1"},
                      PortCase{"COM3", "", 0, 115200, "COM1"},
                      PortCase{"99999999999", "", 0, 115200, "COM1"}));

struct OptionCase {
    const char* stored; // nullptr: absent
    bool dtr, botStart;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << (c.stored ? c.stored : "<absent>");
}

class StartupOptionTest : public StartupTest, public ::testing::WithParamInterface<OptionCase> {};

// Booleans are "True", "False" or numbers; anything else is the option's default.
TEST_P(StartupOptionTest, StoredOptionText) {
    const auto& c = GetParam();
    for (const char* key : {"DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"}) {
        if (c.stored)
            Store("Setup", key, c.stored);
    }
    auto main = Start();
    EXPECT_EQ(main->mnuDTR.checked, c.dtr);
    EXPECT_EQ(main->mnuRTS.checked, c.dtr);
    EXPECT_EQ(main->mnuConvert.checked, c.dtr);
    EXPECT_EQ(main->mnuQuenlar.checked, c.dtr);
    EXPECT_EQ(main->mnuBotStart.checked, c.botStart);
    EXPECT_EQ(main->mnuBotShutDown.checked, c.botStart);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupOptionTest,
    ::testing::Values(OptionCase{nullptr, true, false}, OptionCase{"", true, false},
                      OptionCase{"True", true, true}, OptionCase{"False", false, false},
                      OptionCase{"true", true, true}, OptionCase{"FALSE", false, false},
                      OptionCase{"0", false, false}, OptionCase{"-1", true, true},
                      OptionCase{"7", true, true}, OptionCase{"maybe", true, false}));

// Closing writes exactly the seven options, in their order, EMODE included.
TEST_F(StartupTest, CloseWritesTheSevenOptions) {
    auto main = Start();
    main->mnuRTS.checked = false;
    main->mnuBotShutDown.checked = true;
    main->mnuAutoQuenlar.checked = true;
    main->t2.enabled = true;
    main->Form_QueryUnload();
    EXPECT_FALSE(main->t2.enabled);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_EQ(world.store.writes, (CallLog{"Setup/EMODE=False", "Setup/DTR=True", "Setup/RTS=False",
                                           "Setup/CONVERT=True", "Setup/QUENLAR=True",
                                           "Setup/START=False", "Setup/SHUTDOWN=True"}));
    EXPECT_EQ(world.store.Keys("Setup"),
              (std::vector<std::string>{"CONVERT", "DTR", "EMODE", "QUENLAR", "RTS", "SHUTDOWN",
                                        "START"}));
    // What was saved is what the next start finds.
    main.reset();
    auto next = Start();
    EXPECT_FALSE(next->mnuRTS.checked);
    EXPECT_TRUE(next->mnuBotShutDown.checked);
    EXPECT_FALSE(next->mnuAutoQuenlar.checked);
}

// "-F" puts its path into the file box at the first activation only.
TEST_F(StartupTest, CommandLineActionPutsTheFile) {
    auto main = Start("-F=/fw/X.PLN");
    EXPECT_EQ(main->txtSFile.text, "");
    EXPECT_FALSE(main->RunCommandLineAction());
    EXPECT_EQ(main->txtSFile.text, "/fw/X.PLN");
    EXPECT_EQ(main->List1.items, std::vector<std::string>{"/fw/X.PLN isn't exist."});
    main->SetSFile("/other.PLN");
    EXPECT_FALSE(main->RunCommandLineAction());
    EXPECT_EQ(main->txtSFile.text, "/other.PLN");
}

// "-S" and "-D" set only their own item; "-A" and "-C" ask for the automatic mode.
TEST_F(StartupTest, CommandLineModes) {
    Store("Setup", "SHUTDOWN", "True");
    auto s = Start("-S");
    EXPECT_FALSE(s->RunCommandLineAction());
    EXPECT_TRUE(s->mnuBotStart.checked);
    EXPECT_TRUE(s->mnuBotShutDown.checked);

    Store("Setup", "SHUTDOWN", "False");
    Store("Setup", "START", "True");
    auto d = Start("-D");
    EXPECT_FALSE(d->RunCommandLineAction());
    EXPECT_TRUE(d->mnuBotStart.checked);
    EXPECT_TRUE(d->mnuBotShutDown.checked);

    auto a = Start("-a");
    EXPECT_TRUE(a->RunCommandLineAction());
    EXPECT_FALSE(a->RunCommandLineAction()) << "a second activation switched again";

    auto c = Start("-E5 -C");
    EXPECT_TRUE(c->RunCommandLineAction());

    auto none = Start("x.pln");
    EXPECT_FALSE(none->RunCommandLineAction());
    EXPECT_EQ(none->txtSFile.text, "");
}

// Words handed over one by one are taken whole: a path with spaces stays one path; empty
// words make none, and a fourth is dropped as on a split line.
TEST_F(StartupTest, CommandWordsAreTakenWhole) {
    auto main = std::make_unique<FrmMain>(
        world.ports(), programDir.path().string(),
        std::vector<std::string>{"", "-F=/fw/my images/X.PLN", "-c", "-E4", "-S"});
    main->Form_Load();
    const auto& m = main->module1;
    EXPECT_EQ(m.CmdWordCount, 3);
    EXPECT_EQ(m.CmdFile, "/fw/my images/X.PLN");
    EXPECT_EQ(m.CmdMode, kCmdAutoClose);
    EXPECT_EQ(m.AutoFailLimit, 4);
}

// What a front end that refuses doubtful words refuses, and why.
TEST(CommandWordsProblem, RefusesWhatTheModelWouldDropOrOverride) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, ""},
        {{"-A", "-F=/a b/X.PLN", "-E5"}, ""},
        {{"-c", "", "-f:x"}, ""},
        {{"-A", "-F=x", "-E5", "-S"}, "too many words"},
        {{"-C", "-S"}, "-C and -S exclude each other"},
        {{"-A", "-a"}, "give one of"},
        {{"-F=a", "-F=b"}, "-F=a and -F=b exclude each other: give it once"},
        {{"x.pln", "-A"}, "\"x.pln\" is not an option"},
        {{"-X"}, "not an option"},
    };
    for (const auto& [words, expected] : cases) {
        const std::string problem = CommandWordsProblem(words);
        if (*expected == '\0')
            EXPECT_EQ(problem, "") << words.size();
        else
            EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    }
}

// A store that cannot save is reported once through the window services, not at every
// write; a write that succeeds again re-arms the warning.
TEST_F(StartupTest, SettingsThatCannotBeSavedAreReportedOnce) {
    auto main = Start();
    world.store.readOnly = true;
    main->Form_QueryUnload();
    main->AddRecentFile("/fw/X.PLN");
    ASSERT_EQ(world.windows.messages.size(), 1u);
    EXPECT_NE(world.windows.messages[0].find("cannot be saved"), std::string::npos);
    EXPECT_NE(world.windows.messages[0].find("Setup/EMODE"), std::string::npos);
    world.store.readOnly = false;
    main->AddRecentFile("/fw/X.PLN");
    world.store.readOnly = true;
    main->Form_QueryUnload();
    EXPECT_EQ(world.windows.messages.size(), 2u);
}

// Without words the activation does nothing at all.
TEST_F(StartupTest, EmptyCommandLineActionDoesNothing) {
    auto main = Start();
    const auto before = world.log;
    EXPECT_FALSE(main->RunCommandLineAction());
    EXPECT_EQ(world.log, before);
    EXPECT_EQ(main->txtSFile.text, "");
    EXPECT_FALSE(main->mnuBotStart.checked);
}

} // namespace
} // namespace kaprin
