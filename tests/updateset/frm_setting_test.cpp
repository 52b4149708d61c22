#include "fakes.h"
#include "temp_dir.h"

#include "kaprin/updateset/frm_setting.h"
#include "kaprin/updateset/record_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace kaprin {
namespace {

using test::FakeWorld;
using test::TempDir;

std::string Slots(const FrmSetting& window) {
    std::string joined;
    for (const auto& box : window.txtFile)
        joined += box.text + "|";
    return joined;
}

class FrmSettingTest : public ::testing::Test {
protected:
    FakeWorld world;
    FileDialog mainChooser;
    TempDir dir;
    FrmSetting window{world.ports(), mainChooser};

    void Fill(const SegmentSet& slots) {
        for (int k = 0; k < kSegmentSlots; ++k)
            window.txtFile[k].text = slots[k];
    }
};

// Reading a record file: line ends, stray CRs, short and long files.
struct LoadCase {
    const char* name;
    std::string bytes;
    std::string slots;
    friend void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }
};

class RecordLoadTest : public FrmSettingTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(RecordLoadTest, LoadsTheSixSlots) {
    Fill({"old1", "old2", "old3", "old4", "old5", "old6"});
    const std::string file = dir.Write("set.SAV", GetParam().bytes);
    world.windows.fileAnswers.push_back(file);
    window.cmdLoad_Click();
    EXPECT_EQ(Slots(window), GetParam().slots);
    ASSERT_EQ(world.windows.openDialogs.size(), 1u);
    EXPECT_EQ(world.windows.openDialogs[0].filter, "紀錄檔|*.SAV");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RecordLoadTest,
    ::testing::Values(LoadCase{"CrLf", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n", "a|b|c|d|e|f|"},
                      LoadCase{"LfOnly", "a\nb\nc\nd\ne\nf\n", "a|b|c|d|e|f|"},
                      LoadCase{"CrInsideALine", "ab\rcd\n", "abcd||||||"},
                      LoadCase{"ThreeLines", "/x/1.PLN\r\n/x/2.PLN\r\n/x/3.PLN\r\n",
                               "/x/1.PLN|/x/2.PLN|/x/3.PLN||||"},
                      LoadCase{"EightLines", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n",
                               "1|2|3|4|5|6|"},
                      LoadCase{"LastLineWithoutEnd", "1\r\n2\r\nlast", "1|2|last||||"},
                      LoadCase{"EmptyFile", "", "||||||"},
                      LoadCase{"Utf8Path", "/韌體/一.PLN\r\n", "/韌體/一.PLN||||||"}),
    [](const auto& info) { return std::string(info.param.name); });

// Saving writes exactly six CR LF lines, also over a longer file.
TEST_F(FrmSettingTest, SaveWritesExactlySixLines) {
    struct Case {
        SegmentSet slots;
        std::string before; // earlier content of the file, or empty for a new file
        std::string expected;
    };
    const Case cases[] = {
        {{}, "", "\r\n\r\n\r\n\r\n\r\n\r\n"},
        {{"/a/1.PLN", "/a/2.PLN"}, "", "/a/1.PLN\r\n/a/2.PLN\r\n\r\n\r\n\r\n\r\n"},
        {{"x"}, std::string(500, 'z'), "x\r\n\r\n\r\n\r\n\r\n\r\n"},
        {{"/路徑/檔.PLN"}, "", "/路徑/檔.PLN\r\n\r\n\r\n\r\n\r\n\r\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "out" + std::to_string(n++) + ".SAV";
        if (!c.before.empty())
            dir.Write(name, c.before);
        Fill(c.slots);
        world.windows.fileAnswers.push_back(dir / name);
        window.cmdSave_Click();
        EXPECT_EQ(dir.Read(name), c.expected) << name;
    }
    // No temporary file is left beside the saved ones.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, n);
    EXPECT_EQ(world.windows.saveDialogs.back().filter, "紀錄檔|*.SAV");
    EXPECT_TRUE(world.store.writes.empty());
}

// A saved set loads back unchanged, and Save keeps the permissions of the file it replaces.
TEST_F(FrmSettingTest, SaveThenLoadRoundTrips) {
    const std::string file = dir.Write("set.SAV", "old\r\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const SegmentSet set{"/f/1.PLN", "", "/f/3 with space.PLN", "", "", "/f/6.PLN"};
    Fill(set);
    world.windows.fileAnswers.push_back(file);
    window.cmdSave_Click();
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    Fill({"a", "b", "c", "d", "e", "f"});
    world.windows.fileAnswers.push_back(std::nullopt); // Load offers the saved name again
    window.cmdLoad_Click();
    EXPECT_EQ(Slots(window), "a|b|c|d|e|f|");
    EXPECT_EQ(world.windows.openDialogs.back().fileName, file);
    world.windows.fileAnswers.push_back(file);
    window.cmdLoad_Click();
    for (int k = 0; k < kSegmentSlots; ++k)
        EXPECT_EQ(window.txtFile[k].text, set[k]);
}

// Saving through a symbolic link rewrites the file it names and keeps the link.
TEST_F(FrmSettingTest, SaveThroughALinkKeepsTheLink) {
    const std::string real = dir.Write("real.SAV", "old\r\n");
    const std::string link = dir / "link.SAV";
    std::filesystem::create_symlink(real, link);
    Fill({"n"});
    world.windows.fileAnswers.push_back(link);
    window.cmdSave_Click();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(dir.Read("real.SAV"), "n\r\n\r\n\r\n\r\n\r\n\r\n");
}

// Load of a name that does not exist, of a folder, of a FIFO or a device (which would block
// or never end), of a file whose line is no path (longer than the cap), or a cancelled
// dialog: nothing changes, at once.
TEST_F(FrmSettingTest, LoadThatCannotReadChangesNothing) {
    Fill({"1", "2", "3", "4", "5", "6"});
    std::filesystem::create_directory(dir / "folder.SAV");
    ASSERT_EQ(::mkfifo((dir / "fifo.SAV").c_str(), 0600), 0);
    const std::string longLine = dir.Write("long.SAV", std::string(kMaxRecordLine + 1, 'x'));
    world.windows.fileAnswers = {dir / "missing.SAV", dir / "folder.SAV", dir / "fifo.SAV",
                                 "/dev/zero",         longLine,           std::nullopt,
                                 std::string()};
    for (int i = 0; i < 7; ++i)
        window.cmdLoad_Click();
    EXPECT_EQ(Slots(window), "1|2|3|4|5|6|");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.SAV"));
}

// A Save that cannot write (cancelled, a folder, a FIFO, a missing folder) passes silently.
TEST_F(FrmSettingTest, SaveThatCannotWritePassesSilently) {
    std::filesystem::create_directory(dir / "folder.SAV");
    ASSERT_EQ(::mkfifo((dir / "fifo.SAV").c_str(), 0600), 0);
    Fill({"1"});
    world.windows.fileAnswers = {std::nullopt, dir / "folder.SAV", dir / "fifo.SAV",
                                 dir / "no/such/x.SAV"};
    for (int i = 0; i < 4; ++i)
        window.cmdSave_Click();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.SAV"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo.SAV"));
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
    EXPECT_TRUE(world.windows.messages.empty());
}

// The window opens with the stored set; OK stores every box in order, Cancel nothing.
TEST_F(FrmSettingTest, OkStoresCancelDoesNot) {
    world.store.values[{"Setting", "File2"}] = "/s/2.PLN";
    world.store.values[{"Setting", "File6"}] = "/s/6.PLN";
    window.Form_Load();
    EXPECT_EQ(Slots(window), "|/s/2.PLN||||/s/6.PLN|");

    window.txtFile[0].text = "/n/1.PLN";
    window.txtFile[1].text = "";
    window.CancelButton_Click();
    EXPECT_TRUE(window.IsClosed());
    EXPECT_TRUE(world.store.writes.empty());

    FrmSetting second{world.ports(), mainChooser};
    second.Form_Load();
    EXPECT_EQ(Slots(second), "|/s/2.PLN||||/s/6.PLN|");
    second.txtFile[0].text = "/n/1.PLN";
    second.txtFile[1].text = "";
    second.OKButton_Click();
    EXPECT_TRUE(second.IsClosed());
    EXPECT_EQ(world.store.writes,
              (test::CallLog{"Setting/File1=/n/1.PLN", "Setting/File2=", "Setting/File3=",
                             "Setting/File4=", "Setting/File5=", "Setting/File6=/s/6.PLN"}));
    EXPECT_EQ(world.windows.closed,
              (std::vector<WindowId>{WindowId::frmSetting, WindowId::frmSetting}));
}

// Browse uses the main window's chooser: its filter, an emptied name, its old folder.
TEST_F(FrmSettingTest, BrowseSharesTheMainChooser) {
    mainChooser = FileDialog{"PLN File|*.PLN", "/fw/X.PLN", "/fw/X.PLN"};
    window.txtFile[2].text = "keep";
    world.windows.fileAnswers = {std::nullopt, std::string("/fw/S3.PLN")};
    window.cmdBrowse_Click(2);
    EXPECT_EQ(window.txtFile[2].text, "keep");
    window.cmdBrowse_Click(2);
    EXPECT_EQ(window.txtFile[2].text, "/fw/S3.PLN");
    ASSERT_EQ(world.windows.openDialogs.size(), 2u);
    for (const auto& shown : world.windows.openDialogs) {
        EXPECT_EQ(shown.filter, "更新檔|*.PLN");
        EXPECT_EQ(shown.fileName, "");
        EXPECT_EQ(shown.initialDir, "/fw/X.PLN");
    }
    EXPECT_EQ(mainChooser.fileName, "/fw/S3.PLN");
}

} // namespace
} // namespace kaprin
