#include "kaprin/core/frm_main.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kaprin {
namespace {

using test::FakeWorld;

struct FrmMainTest : ::testing::Test {
    FakeWorld world;
    FrmMain main{world.ports(), "/nonexistent", ""};
};

// A new window shows its design state.
TEST_F(FrmMainTest, DesignState) {
    EXPECT_EQ(main.Caption, "K71PELV");
    EXPECT_EQ(main.cboDelay.entries,
              (std::vector<std::string>{"0 Sec", "1 Sec", "2 Sec", "3 Sec", "4 Sec", "5 Sec"}));
    EXPECT_EQ(main.cboDelay.listIndex, 0);
    EXPECT_EQ(main.cboDelay.text, "0 Sec");
    for (const auto& lamp : main.Shape1)
        EXPECT_EQ(lamp.colour, kChaserIdle);
    EXPECT_EQ(main.sDTR.colour, kLineLampOff);
    EXPECT_EQ(main.sRTS.colour, kLineLampOff);
    EXPECT_TRUE(main.cmdStart.enabled);
    EXPECT_FALSE(main.cmdStop.enabled);
    EXPECT_FALSE(main.optFont.visible);
    EXPECT_FALSE(main.optFont.checked);
    EXPECT_EQ(main.lblPort.caption, "COM1");
    EXPECT_FALSE(main.t1.enabled);
    EXPECT_EQ(main.t1.intervalMs, 100);
    EXPECT_EQ(main.t2.intervalMs, 20);
}

// The line operations call the library first, then colour their lamp.
TEST_F(FrmMainTest, LineOperationsDriveFlagAndLamp) {
    main.SetPowerLine(true);
    EXPECT_TRUE(world.pellin.powerOn);
    EXPECT_EQ(main.sDTR.colour, kLineLampOn);
    EXPECT_EQ(main.sRTS.colour, kLineLampOff);
    main.SetBootLine(true);
    EXPECT_EQ(main.sRTS.colour, kLineLampOn);
    main.SetPowerLine(false);
    main.SetBootLine(false);
    EXPECT_EQ(world.log, (test::CallLog{"PowerOn:1", "BootOn:1", "PowerOn:0", "BootOn:0"}));
    EXPECT_EQ(main.sDTR.colour, kLineLampOff);
    EXPECT_EQ(main.sRTS.colour, kLineLampOff);
}

// ClearStatus empties both panels and resets lamps the chaser left lit or passed.
TEST_F(FrmMainTest, ClearStatusResetsPanelsAndLamps) {
    main.SB1.panel1 = "busy";
    main.SB1.panel2 = "50%";
    for (int i = 0; i < 5; ++i)
        main.t1_Timer();
    main.ClearStatus();
    EXPECT_EQ(main.SB1.panel1, "");
    EXPECT_EQ(main.SB1.panel2, "");
    for (const auto& lamp : main.Shape1)
        EXPECT_EQ(lamp.colour, kChaserIdle);
}

// The chaser lights the lamp at LampIndex, passes the one before it and wraps at 15.
TEST_F(FrmMainTest, LampChaser) {
    main.t1_Timer();
    EXPECT_EQ(main.Shape1[0].colour, kChaserLit);
    EXPECT_EQ(main.Shape1[15].colour, kChaserPassed);
    EXPECT_EQ(main.LampIndex, 1);
    main.t1_Timer();
    EXPECT_EQ(main.Shape1[1].colour, kChaserLit);
    EXPECT_EQ(main.Shape1[0].colour, kChaserPassed);
    for (int i = 2; i < 16; ++i)
        main.t1_Timer();
    EXPECT_EQ(main.LampIndex, 0);
    EXPECT_EQ(main.Shape1[15].colour, kChaserLit);
    EXPECT_EQ(main.Shape1[14].colour, kChaserPassed);
    main.t1_Timer();
    EXPECT_EQ(main.Shape1[0].colour, kChaserLit);
    EXPECT_EQ(main.Shape1[15].colour, kChaserPassed);
}

TEST_F(FrmMainTest, EngineerPanelGeometry) {
    main.ShowEngineerPanel(true);
    EXPECT_TRUE(main.Frame3.visible);
    EXPECT_EQ(main.HeightTwips, 5565);
    EXPECT_EQ(main.PB1TopTwips, 4525);
    main.ShowEngineerPanel(false);
    EXPECT_FALSE(main.Frame3.visible);
    EXPECT_EQ(main.HeightTwips, 4530);
    EXPECT_EQ(main.PB1TopTwips, 3480);
}

// Setting the file box shows the file's state in List1 and clears the tooltip.
TEST_F(FrmMainTest, SetSFileRunsChangeHandling) {
    main.List1.tooltip = "old";
    main.SetSFile("/no/such/file.PLN");
    EXPECT_EQ(main.txtSFile.text, "/no/such/file.PLN");
    EXPECT_EQ(main.List1.items, std::vector<std::string>{"/no/such/file.PLN isn't exist."});
    EXPECT_EQ(main.List1.tooltip, "");
    main.List1_Click(0);
    EXPECT_EQ(main.List1.tooltip, "/no/such/file.PLN isn't exist.");
    // The same text again is no change.
    main.SetSFile("/no/such/file.PLN");
    EXPECT_EQ(main.List1.items.size(), 1u);
    EXPECT_EQ(main.List1.tooltip, "/no/such/file.PLN isn't exist.");
}

// Exit asks the front end to close the window, which then runs the close request.
TEST_F(FrmMainTest, ExitRequestsTheClose) {
    main.mnuExit_Click();
    EXPECT_TRUE(world.windows.closeRequested);
    EXPECT_TRUE(world.store.writes.empty());
}

// The delay list: a typed text selects no entry.
TEST_F(FrmMainTest, DelayList) {
    main.cboDelay_Select(3);
    EXPECT_EQ(main.cboDelay.listIndex, 3);
    EXPECT_EQ(main.cboDelay.text, "3 Sec");
    main.cboDelay_Type("7 Sec");
    EXPECT_EQ(main.cboDelay.listIndex, -1);
    EXPECT_EQ(main.cboDelay.text, "7 Sec");
}

} // namespace
} // namespace kaprin
