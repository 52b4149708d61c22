#include "run_fixture.h"

namespace kaprin::test {
namespace {

using OptionsTest = MainWindowTest;

// The plain items only flip their check mark: no line, lamp or library call.
TEST_F(OptionsTest, PlainItemsOnlyFlip) {
    struct Item {
        Control FrmMain::*item;
        void (FrmMain::*click)();
    };
    const Item items[] = {{&FrmMain::mnuDTR, &FrmMain::mnuDTR_Click},
                          {&FrmMain::mnuRTS, &FrmMain::mnuRTS_Click},
                          {&FrmMain::mnuConvert, &FrmMain::mnuConvert_Click},
                          {&FrmMain::mnuQuenlar, &FrmMain::mnuQuenlar_Click},
                          {&FrmMain::mnuCheck, &FrmMain::mnuCheck_Click}};
    for (const auto& [item, click] : items) {
        const bool before = ((*main).*item).checked;
        ((*main).*click)();
        EXPECT_EQ(((*main).*item).checked, !before) << ((*main).*item).caption;
        ((*main).*click)();
        EXPECT_EQ(((*main).*item).checked, before) << ((*main).*item).caption;
    }
    EXPECT_TRUE(world.log.empty());
    EXPECT_EQ(main->sDTR.colour, kLineLampOff);
    EXPECT_EQ(main->sRTS.colour, kLineLampOff);
}

// The after-load pair: a click never leaves both on, but may leave both off.
TEST_F(OptionsTest, AfterLoadItemsExcludeEachOther) {
    struct Case {
        const char* clicks; // S = mnuBotStart, D = mnuBotShutDown
        bool startBefore, shutDownBefore;
        bool start, shutDown;
    };
    const Case cases[] = {
        {"S", false, false, true, false},  {"SS", false, false, false, false},
        {"S", false, true, true, false},   {"D", true, false, false, true},
        {"DD", true, false, false, false}, {"SD", false, false, false, true},
        {"S", true, true, false, true}, // both on (from the store): a click turns one off
        {"D", true, true, true, false},
    };
    for (const auto& c : cases) {
        main->mnuBotStart.checked = c.startBefore;
        main->mnuBotShutDown.checked = c.shutDownBefore;
        for (const char* k = c.clicks; *k; ++k)
            *k == 'S' ? main->mnuBotStart_Click() : main->mnuBotShutDown_Click();
        EXPECT_EQ(main->mnuBotStart.checked, c.start) << c.clicks;
        EXPECT_EQ(main->mnuBotShutDown.checked, c.shutDown) << c.clicks;
    }
    EXPECT_TRUE(world.log.empty());
}

// Engineer Mode: the shortcut shows the hidden item; its click shows the panel.
TEST_F(OptionsTest, EngineerMode) {
    main->mnuEMode.visible = false; // as start-up leaves it
    main->ShowEngineerMenu();
    EXPECT_TRUE(main->mnuEMode.visible);
    main->mnuEMode_Click();
    EXPECT_TRUE(main->mnuEMode.checked);
    EXPECT_TRUE(main->Frame3.visible);
    EXPECT_EQ(main->HeightTwips, 5565);
    EXPECT_EQ(main->PB1TopTwips, 4525);
    main->mnuEMode_Click();
    EXPECT_FALSE(main->mnuEMode.checked);
    EXPECT_FALSE(main->Frame3.visible);
    EXPECT_EQ(main->HeightTwips, 4530);
    EXPECT_EQ(main->PB1TopTwips, 3480);
}

// The options reach the close request as they were clicked.
TEST_F(OptionsTest, ClickedOptionsAreSavedAtClose) {
    main->mnuDTR_Click();
    main->mnuBotShutDown_Click();
    main->ShowEngineerMenu();
    main->mnuEMode_Click();
    main->Form_QueryUnload();
    EXPECT_EQ(world.store.writes, (CallLog{"Setup/EMODE=True", "Setup/DTR=False", "Setup/RTS=True",
                                           "Setup/CONVERT=True", "Setup/QUENLAR=True",
                                           "Setup/START=False", "Setup/SHUTDOWN=True"}));
}

// The log file is chosen with a save dialog that appends; Cancel keeps the one in use.
TEST_F(OptionsTest, LogFileChosenAndKept) {
    world.windows.fileAnswers = {std::string("/var/log/line.log"), std::nullopt};
    main->mnuLogFile_Click();
    main->mnuLogFile_Click();
    EXPECT_EQ(world.store.ReadSetting("Setup", "LogFile"), "/var/log/line.log");
    ASSERT_EQ(world.windows.saveDialogs.size(), 2u);
    EXPECT_TRUE(world.windows.saveDialogs[1].appendsTo);
    EXPECT_EQ(world.windows.saveDialogs[1].fileName, "/var/log/line.log");
}

} // namespace
} // namespace kaprin::test
