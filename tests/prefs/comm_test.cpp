#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/frm_comm.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace kaprin {
namespace {

using test::FakeWorld;

struct CommTest : ::testing::Test {
    FakeWorld world;
    FrmMain main{world.ports(), "/nonexistent", ""};
    FrmComm& Open() {
        main.mnuComm_Click();
        return *main.frmComm;
    }
};

TEST_F(CommTest, FirstOpeningShowsTheDefaults) {
    FrmComm& comm = Open();
    EXPECT_EQ(world.windows.shown, std::vector<WindowId>{WindowId::frmComm});
    EXPECT_EQ(comm.Caption, "Communication");
    ASSERT_EQ(comm.Combo1[0].entries.size(), 20u);
    EXPECT_EQ(comm.Combo1[0].entries.front(), "COM1");
    EXPECT_EQ(comm.Combo1[0].entries.back(), "COM20");
    EXPECT_EQ(comm.Combo1[1].entries,
              (std::vector<std::string>{"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(comm.Combo1[0].text, "COM1");
    EXPECT_EQ(comm.Combo1[1].text, "115200");
    EXPECT_EQ(comm.Combo1[2].text, "8");
    EXPECT_EQ(comm.Combo1[3].text, "1");
    EXPECT_EQ(comm.Combo1[4].text, "None");
    EXPECT_EQ(comm.Label1[0].caption, "Com Port");
}

// OK applies the choice to the library, shows the port, stores both positions, closes.
TEST_F(CommTest, OkAppliesStoresAndCloses) {
    FrmComm& comm = Open();
    comm.Combo1[0].Select(2);
    comm.Combo1[1].Select(3);
    comm.Command1_Click();
    EXPECT_FALSE(main.frmComm);
    EXPECT_EQ(world.windows.closed, std::vector<WindowId>{WindowId::frmComm});
    EXPECT_EQ(world.pellin.usePortCalls.back(), std::make_pair(2, 57600));
    EXPECT_EQ(main.lblPort.caption, "COM3");
    EXPECT_EQ(world.store.writes, (test::CallLog{"Comm/COM PORT=2", "Comm/BAUD RATE=3"}));
    FrmComm& again = Open();
    EXPECT_EQ(again.Combo1[0].text, "COM3");
    EXPECT_EQ(again.Combo1[1].text, "57600");
}

TEST_F(CommTest, CancelChangesNothing) {
    world.store.values[{"Comm", "COM PORT"}] = "4";
    FrmComm& comm = Open();
    comm.Combo1[0].Select(2);
    comm.Combo1[1].Select(0);
    comm.Command2_Click();
    EXPECT_FALSE(main.frmComm);
    EXPECT_TRUE(world.pellin.usePortCalls.empty());
    EXPECT_EQ(main.lblPort.caption, "COM1");
    EXPECT_TRUE(world.store.writes.empty());
    EXPECT_EQ(Open().Combo1[0].text, "COM5");
}

// The menu brings an open window forward instead of opening a second one.
TEST_F(CommTest, SecondMenuClickBringsItForward) {
    FrmComm& comm = Open();
    comm.Combo1[0].Select(7);
    main.mnuComm_Click();
    EXPECT_EQ(main.frmComm.get(), &comm);
    EXPECT_EQ(comm.Combo1[0].text, "COM8") << "the open window was reloaded";
    main.ChildWindow_Closed(WindowId::frmComm);
    EXPECT_FALSE(main.frmComm);
}

// Stored positions the utility never writes select the defaults (or the stored rate).
TEST_F(CommTest, StoredValuesOutsideTheLists) {
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {"25", "7", "COM1", "115200"},  {"-1", "x", "COM1", "115200"},
        {"x", "9600", "COM1", "9600"},  {"19", "0", "COM20", "9600"},
        {"", "57600", "COM1", "57600"}, {"3", "-4", "COM4", "115200"}};
    for (const auto& [port, rate, portText, rateText] : cases) {
        world.store.values[{"Comm", "COM PORT"}] = port;
        world.store.values[{"Comm", "BAUD RATE"}] = rate;
        FrmComm& comm = Open();
        EXPECT_EQ(comm.Combo1[0].text, portText) << port;
        EXPECT_EQ(comm.Combo1[1].text, rateText) << rate;
        comm.Command2_Click();
    }
}

// A typed text counts when it names an entry; otherwise OK leaves the window open and says
// what the box takes.
TEST_F(CommTest, TypedTexts) {
    FrmComm& comm = Open();
    comm.Combo1[0].Type(" com4 ");
    comm.Combo1[1].Type("19200");
    comm.Command1_Click();
    ASSERT_FALSE(main.frmComm);
    EXPECT_EQ(world.pellin.usePortCalls.back(), std::make_pair(3, 19200));
    EXPECT_EQ(main.lblPort.caption, "COM4");

    FrmComm& typed = Open();
    typed.Combo1[0].Type("COM21");
    typed.Command1_Click();
    ASSERT_TRUE(main.frmComm);
    typed.Combo1[0].Select(0);
    typed.Combo1[1].Type("4800");
    typed.Command1_Click();
    ASSERT_TRUE(main.frmComm);
    EXPECT_EQ(world.pellin.usePortCalls.size(), 1u);
    EXPECT_EQ(world.windows.messages,
              (std::vector<std::string>{
                  "COM21 is not in the list. Choose one of: COM1 - COM20.",
                  "4800 is not in the list. Choose one of: 9600, 19200, 38400, 57600, 115200."}));
}

} // namespace
} // namespace kaprin
