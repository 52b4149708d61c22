#include "kaprin/core/frm_main.h"
#include "kaprin/info/file_info.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>

namespace kaprin {
namespace {

using test::FakeWorld;
using test::TempDir;

TEST(FileDateTest, Layout) {
    const std::vector<std::tuple<FileDate, std::string, std::string>> cases = {
        {{2005, 3, 7, 21, 5, 3}, "2005/03/07", "21:05:03"},
        {{2024, 1, 1, 0, 0, 0}, "2024/01/01", "00:00:00"},
        {{1999, 12, 31, 23, 59, 59}, "1999/12/31", "23:59:59"},
        {{987, 10, 10, 9, 9, 9}, "987/10/10", "09:09:09"}};
    for (const auto& [t, date, time] : cases) {
        EXPECT_EQ(FormatFileDate(t), date);
        EXPECT_EQ(FormatFileTime(t), time);
    }
}

struct FileInfoTest : ::testing::Test {
    FakeWorld world;
    TempDir dir;
    FrmMain main{world.ports(), dir.path().string(), ""};
    std::string savedTz;
    bool hadTz = false;

    void SetUp() override {
        // Times are shown in local time: make it a known one.
        if (const char* tz = std::getenv("TZ")) {
            hadTz = true;
            savedTz = tz;
        }
        setenv("TZ", "UTC", 1);
        tzset();
        main.langTable.LoadText("#1320 Created\n#1321 Modified\n#1322 Accessed\n");
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

// 2005-03-07 21:05:03 UTC.
constexpr std::time_t kMarch2005 = 1110229503;

// An existing file: exactly the three lines, created, modified, accessed.
TEST_F(FileInfoTest, ExistingFileShowsThreeLines) {
    const std::string file = dir.Write("X.PLN", "data");
    test::TempDir::SetTimes(file, kMarch2005);
    main.List1.items = {"old line"};
    main.ShowFileTimes(file);
    ASSERT_EQ(main.List1.items.size(), 3u);
    EXPECT_TRUE(std::regex_match(main.List1.items[0],
                                 std::regex(R"(Created : \d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")))
        << main.List1.items[0];
    EXPECT_EQ(main.List1.items[1], "Modified : 2005/03/07 21:05:03");
    EXPECT_EQ(main.List1.items[2], "Accessed : 2005/03/07 21:05:03");
    EXPECT_EQ(FileInfo(file), (FileDate{2005, 3, 7, 21, 5, 3}));
}

// Where the file system keeps a creation time it is shown, otherwise the modified time.
TEST_F(FileInfoTest, CreatedLine) {
    const std::string file = dir.Write("X.PLN", "data");
    test::TempDir::SetTimes(file, kMarch2005);
    auto times = ReadFileTimes(file);
    ASSERT_TRUE(times);
    if (times->creationKept) {
        // Setting the times leaves the creation time at the moment of writing.
        EXPECT_GT(times->created.year, 2005);
    } else {
        EXPECT_EQ(times->created, times->modified);
    }
}

// Missing paths append their line below what the list holds.
TEST_F(FileInfoTest, MissingPathsAppend) {
    const std::string file = dir.Write("X.PLN", "data");
    main.ShowFileTimes(file);
    main.ShowFileTimes(dir / "gone.PLN");
    main.ShowFileTimes("");
    ASSERT_EQ(main.List1.items.size(), 5u);
    EXPECT_EQ(main.List1.items[3], dir / "gone.PLN" + " isn't exist.");
    EXPECT_EQ(main.List1.items[4], " isn't exist.");
    // The next existing file empties the list again.
    main.ShowFileTimes(file);
    EXPECT_EQ(main.List1.items.size(), 3u);
}

// Only ordinary files exist: folders, wildcards and empty paths do not.
TEST_F(FileInfoTest, ExistenceTest) {
    const std::string file = dir.Write("X.PLN", "data");
    dir.Write("sub/inner", "");
    const std::string star = dir.Write("*.PLN", "a file really named so");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir / "sub"));
    EXPECT_FALSE(FileExists(star));
    EXPECT_FALSE(FileExists(dir / "X.PL?"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(dir / "gone"));
    EXPECT_FALSE(FileExists(file + "/below"));
    EXPECT_EQ(FileInfo(dir / "gone"), FileDate{});
    main.ShowFileTimes(dir / "sub");
    EXPECT_EQ(main.List1.items, std::vector<std::string>{dir / "sub" + " isn't exist."});
}

// Without the labels in the language file the lines begin with " : ".
TEST_F(FileInfoTest, MissingLabels) {
    main.langTable = LangTable{};
    main.ShowFileTimes(dir.Write("X.PLN", ""));
    ASSERT_EQ(main.List1.items.size(), 3u);
    for (const auto& line : main.List1.items)
        EXPECT_EQ(line.rfind(" : ", 0), 0u) << line;
}

// The file box's change shows the times and clears the tooltip of a clicked line.
TEST_F(FileInfoTest, FileBoxChange) {
    const std::string file = dir.Write("X.PLN", "");
    main.SetSFile(file);
    main.List1_Click(1);
    EXPECT_EQ(main.List1.tooltip, main.List1.items[1]);
    main.txtSFile.text = dir / "typed";
    main.txtSFile_Change();
    EXPECT_EQ(main.List1.tooltip, "");
    EXPECT_EQ(main.List1.items.back(), dir / "typed" + " isn't exist.");
}

// The chooser starts in the current file's folder, keeps its name, and a cancel puts
// that earlier name back into the box.
TEST_F(FileInfoTest, BrowseButton) {
    main.SB1.panel1 = "old";
    world.windows.fileAnswers = {std::nullopt};
    main.cmdBorwse_Click();
    EXPECT_EQ(main.SB1.panel1, "");
    ASSERT_EQ(world.windows.openDialogs.size(), 1u);
    EXPECT_EQ(world.windows.openDialogs[0].filter, "PLN File|*.PLN|HEX File|*.HEX;*.H00;*.HEC");
    EXPECT_EQ(main.txtSFile.text, "") << "a cancel before any choice changes nothing";

    const std::string file = dir.Write("fw/X.PLN", "");
    world.windows.fileAnswers = {file};
    main.cmdBorwse_Click();
    EXPECT_EQ(main.txtSFile.text, file);

    main.SetSFile("/elsewhere/Y.PLN");
    world.windows.fileAnswers = {std::nullopt};
    main.cmdBorwse_Click();
    EXPECT_EQ(world.windows.openDialogs[2].initialDir, "/elsewhere");
    EXPECT_EQ(world.windows.openDialogs[2].fileName, file);
    EXPECT_EQ(main.txtSFile.text, file);
}

} // namespace
} // namespace kaprin
