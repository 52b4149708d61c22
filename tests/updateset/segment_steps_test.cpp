#include "fakes.h"
#include "temp_dir.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/updateset/frm_setting.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kaprin {
namespace {

using test::FakeWorld;
using test::TempDir;

constexpr const char* kSetIncomplete = "更新檔有一個以上未設定或檔案不存在";

class SegmentStepsTest : public ::testing::Test {
protected:
    FakeWorld world;
    TempDir dir;
    FrmMain main{world.ports(), dir.path().string(), ""};

    void Store(int slot, const std::string& path) {
        world.store.values[{"Setting", "File" + std::to_string(slot)}] = path;
    }

    std::string Enabled() const {
        std::string states;
        for (const auto& step : main.cmdStep)
            states += step.enabled ? 'E' : '-';
        return states;
    }
};

// Start-up already disables the steps of empty and missing slots, and leaves the status
// text alone.
TEST_F(SegmentStepsTest, StartUpChecksTheStoredSet) {
    const std::string two = dir.Write("seg/2.PLN", "");
    Store(1, "");
    Store(2, two);
    Store(3, dir / "seg/missing.PLN");
    main.Form_Load();
    EXPECT_EQ(Enabled(), "-E----");
    EXPECT_NE(main.SB1.panel1, kSetIncomplete);
    main.cmdStep_Click(1);
    EXPECT_EQ(main.txtSFile.text, two);
    EXPECT_EQ(main.txtCStatus.text, "第二段");
}

// The check: set and existing slots pass, empty, missing and folder slots fail.
TEST_F(SegmentStepsTest, CheckDisablesFailingSlots) {
    const std::string one = dir.Write("seg/1.PLN", "");
    const std::string four = dir.Write("seg/4 x.PLN", "");
    std::filesystem::create_directory(dir / "folder.PLN");
    Store(1, one);
    Store(2, dir / "seg/missing.PLN");
    Store(3, dir / "folder.PLN");
    Store(4, four);
    main.SB1.panel1 = "before";
    main.CheckUpdateFiles();
    EXPECT_EQ(Enabled(), "E--E--");
    EXPECT_EQ(main.SB1.panel1, kSetIncomplete);
    EXPECT_EQ(main.SegmentFile[0], one);
    EXPECT_EQ(main.SegmentFile[3], four);
    EXPECT_EQ(main.SegmentFile[1], "");

    main.cmdStep_Click(3);
    EXPECT_EQ(main.txtSFile.text, four); // copied character for character
    EXPECT_EQ(main.txtCStatus.text, "第四段");
    main.cmdStep_Click(3);
    EXPECT_EQ(main.txtSFile.text, four);
    main.cmdStep_Click(1); // disabled: not clicked
    EXPECT_EQ(main.txtSFile.text, four);
    EXPECT_EQ(main.txtCStatus.text, "第四段");
}

// Every slot passing leaves panel 1 as it was; a corrected slot enables its step again,
// and a slot that fails later keeps its last passing path.
TEST_F(SegmentStepsTest, PassingSlotsAndCorrections) {
    for (int slot = 1; slot <= 6; ++slot)
        Store(slot, dir.Write("s" + std::to_string(slot) + ".PLN", ""));
    main.SB1.panel1 = "before";
    main.CheckUpdateFiles();
    EXPECT_EQ(Enabled(), "EEEEEE");
    EXPECT_EQ(main.SB1.panel1, "before");

    const std::string kept = main.SegmentFile[1];
    Store(2, "");
    main.CheckUpdateFiles();
    EXPECT_EQ(Enabled(), "E-EEEE");
    EXPECT_EQ(main.SegmentFile[1], kept);

    Store(2, dir.Write("fixed.PLN", ""));
    main.SB1.panel1 = "again";
    main.CheckUpdateFiles();
    EXPECT_EQ(Enabled(), "EEEEEE");
    EXPECT_EQ(main.SegmentFile[1], dir / "fixed.PLN");
    EXPECT_EQ(main.SB1.panel1, "again");
}

// "檔案設定" opens the window modally with the stored set; OK stores, then the check runs.
TEST_F(SegmentStepsTest, Command4OpensTheWindowThenChecks) {
    const std::string five = dir.Write("5.PLN", "");
    Store(1, "/old/1.PLN");
    bool sawStoredSet = false;
    world.windows.onModal = [&](WindowId id) {
        ASSERT_EQ(id, WindowId::frmSetting);
        ASSERT_TRUE(main.frmSetting);
        sawStoredSet = main.frmSetting->txtFile[0].text == "/old/1.PLN";
        main.frmSetting->txtFile[0].text = "";
        main.frmSetting->txtFile[4].text = five;
        main.frmSetting->OKButton_Click();
    };
    main.Command4_Click();
    EXPECT_TRUE(sawStoredSet);
    EXPECT_FALSE(main.frmSetting);
    EXPECT_EQ(world.store.ReadSetting("Setting", "File5"), five);
    EXPECT_EQ(Enabled(), "----E-");
    EXPECT_EQ(main.SegmentFile[4], five);
    EXPECT_EQ(main.SB1.panel1, kSetIncomplete);
}

// Closed by its frame or Cancel: nothing is stored, the check still runs.
TEST_F(SegmentStepsTest, CancelStillChecks) {
    world.windows.onModal = [&](WindowId) {
        main.frmSetting->txtFile[0].text = "/typed.PLN";
        main.ChildWindow_Closed(WindowId::frmSetting);
    };
    main.Command4_Click();
    EXPECT_TRUE(world.store.Keys("Setting").empty());
    EXPECT_EQ(Enabled(), "------");
    EXPECT_FALSE(main.frmSetting);
}

} // namespace
} // namespace kaprin
