#include "kaprin/core/frm_main.h"
#include "kaprin/info/frm_about.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kaprin {
namespace {

using test::FakeWorld;
using test::TempDir;

TEST(VersionTextTest, RevisionFollowsTheMinorNumber) {
    EXPECT_EQ(VersionText(1, 1, 5), "1.15");
    EXPECT_EQ(VersionText(1, 1, 12), "1.112");
    EXPECT_EQ(VersionText(2, 0, 0), "2.00");
}

struct AboutHelpTest : ::testing::Test {
    FakeWorld world;
    TempDir dir;
    FrmMain main{world.ports(), dir.path().string(), ""};
};

TEST_F(AboutHelpTest, AboutWindow) {
    main.mnuAbout__Click();
    ASSERT_TRUE(main.frmAbout);
    FrmAbout* about = main.frmAbout.get();
    EXPECT_EQ(about->Caption, "About");
    EXPECT_EQ(about->Label1.caption, "MORLA Quenlar Utility");
    EXPECT_EQ(about->Label2.caption, "1.15");
    main.mnuAbout__Click();
    EXPECT_EQ(main.frmAbout.get(), about);
    EXPECT_EQ(world.windows.shown, (std::vector<WindowId>{WindowId::frmAbout, WindowId::frmAbout}));
    about->cmdOK_Click();
    EXPECT_FALSE(main.frmAbout);
    EXPECT_EQ(world.windows.closed, std::vector<WindowId>{WindowId::frmAbout});
    // Its close box does the same.
    main.mnuAbout__Click();
    main.ChildWindow_Closed(WindowId::frmAbout);
    EXPECT_FALSE(main.frmAbout);
}

TEST_F(AboutHelpTest, HelpOpensThePageBesideTheProgram) {
    main.mnuHelp_Click();
    EXPECT_TRUE(world.windows.helpOpened.empty()) << "no page, nothing happens";
    const std::string page = dir.Write("Pelhelp.html", "<html></html>");
    main.mnuHelp_Click();
    main.mnuHelp_Click();
    EXPECT_EQ(world.windows.helpOpened, (std::vector<std::string>{page, page}));
    EXPECT_TRUE(world.windows.messages.empty());
}

TEST_F(AboutHelpTest, HelpFolderIsNoPage) {
    dir.Write("Pelhelp.html/inside", "");
    main.mnuHelp_Click();
    EXPECT_TRUE(world.windows.helpOpened.empty());
}

} // namespace
} // namespace kaprin
