#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/frm_language.h"
#include "kaprin/prefs/language.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>

namespace kaprin {
namespace {

using test::FakeWorld;
using test::TempDir;

struct EntryCase {
    const char* line;
    std::int16_t id;  // 0: the line takes no slot
    const char* text; // the text of that id
};

void PrintTo(const EntryCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class EntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryTest, OneLine) {
    const auto& c = GetParam();
    LangTable table;
    table.LoadText(c.line);
    if (c.id == 0) {
        EXPECT_EQ(table.slots()[0].id, 0) << "the line took a slot";
        EXPECT_EQ(table.slots()[0].text, "");
    } else {
        EXPECT_EQ(table.slots()[0].id, c.id);
        EXPECT_EQ(table.Text(c.id), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryTest,
    ::testing::Values(
        EntryCase{"#1101 Quit", 1101, "Quit"},
        // The sixth character is skipped whatever it is.
        EntryCase{"#1101=Quit", 1101, "Quit"}, EntryCase{"#1101  Quit", 1101, " Quit"},
        EntryCase{"#1101 Quit # not a comment ", 1101, "Quit # not a comment "},
        EntryCase{"#1101 ", 1101, ""}, EntryCase{"#1101 \r\n", 1101, ""},
        EntryCase{"#   7 seven", 7, "seven"}, EntryCase{"#-123 minus", -123, "minus"},
        // Characters, not bytes: a wide separator and a Chinese text.
        EntryCase{"#1101：結束", 1101, "結束"}, EntryCase{"#1101 檔案\r", 1101, "檔案"},
        // Lines that break the layout are skipped and take no slot.
        EntryCase{"#1101", 0, ""}, EntryCase{"#110", 0, ""}, EntryCase{"#abcd text", 0, ""},
        EntryCase{"#11a1 text", 0, ""}, EntryCase{"#     text", 0, ""},
        EntryCase{"#９９９９ x", 0, ""}, EntryCase{"#99999 text", 9999, " text"},
        EntryCase{" #1101 Quit", 0, ""}, EntryCase{"1101 Quit", 0, ""}, EntryCase{"", 0, ""}));

TEST(LangTableTest, TextOfUnknownIdIsEmpty) {
    LangTable table;
    EXPECT_EQ(table.Text(1000), "");
    table.LoadText("#1000 Title\n");
    EXPECT_EQ(table.Text(1001), "");
}

// CR LF and LF line ends load alike; a CR anywhere is dropped; the last line needs no end.
TEST(LangTableTest, LineEnds) {
    LangTable lf, crlf, cr;
    lf.LoadText("; heading\n#1000 Title\n\n#1001 Last");
    crlf.LoadText("; heading\r\n#1000 Title\r\n\r\n#1001 Last");
    cr.LoadText("#1000 Ti\rtle\n#10\r01 Last\r");
    for (const LangTable* t : {&lf, &crlf, &cr}) {
        EXPECT_EQ(t->Text(1000), "Title");
        EXPECT_EQ(t->Text(1001), "Last");
        EXPECT_EQ(t->slots()[1].id, 1001) << "a non-entry line took a slot";
    }
}

// The first entry of an id wins.
TEST(LangTableTest, DuplicateIdFirstWins) {
    LangTable table;
    table.LoadText("#1000 first\n#1000 second\n");
    EXPECT_EQ(table.Text(1000), "first");
}

std::string Entries(int first, int count, const std::string& prefix) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "#" + std::to_string(first + i) + " " + prefix + std::to_string(i) + "\n";
    return text;
}

// A shorter file loaded over a longer one leaves the longer one's later slots in place.
TEST(LangTableTest, ReloadKeepsLaterSlots) {
    LangTable table;
    table.LoadText(Entries(2000, 20, "a"));
    table.LoadText(Entries(2000, 10, "b"));
    EXPECT_EQ(table.Text(2000), "b0");
    EXPECT_EQ(table.Text(2009), "b9");
    EXPECT_EQ(table.Text(2015), "a15");
    EXPECT_EQ(table.slots()[19].id, 2019);
}

// Only the first 128 entries count: entries 129 and 130 have no effect.
TEST(LangTableTest, AtMost128Entries) {
    LangTable table;
    table.LoadText("; 130 entries\n" + Entries(3000, 130, "e"));
    EXPECT_EQ(table.Text(3127), "e127");
    EXPECT_EQ(table.Text(3128), "");
    EXPECT_EQ(table.Text(3129), "");
}

TEST(LanguageDecodeTest, Utf8AndBig5) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("檔案"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE6\xAA"));     // cut off
    EXPECT_EQ(DecodeLanguageText("\xEF\xBB\xBF#1000 x"), "#1000 x");
    // "檔案" in Big5.
    EXPECT_EQ(DecodeLanguageText("#1100 \xC0\xC9\xAE\xD7"), "#1100 檔案");
    // Bytes that start no Big5 character become U+FFFD; the rest still decodes.
    EXPECT_EQ(DecodeLanguageText("a\xFF\xC0\xC9\xAE\xD7\xA4"), "a\uFFFD檔案\uFFFD");
}

struct LanguageFolderTest : ::testing::Test {
    FakeWorld world;
    TempDir programDir;
    std::unique_ptr<FrmMain> main;
    void Make() { main = std::make_unique<FrmMain>(world.ports(), programDir.path().string(), ""); }
};

// A file that cannot be read loads the folder's English.ini; the folder's name may be
// in any letter case.
TEST_F(LanguageFolderTest, FallbackToEnglish) {
    programDir.Write("language/English.ini", "#1000 English\n");
    Make();
    EXPECT_EQ(main->LanguageFolder(), programDir / "language");
    main->LoadLangFile(programDir / "Language/Missing.ini");
    EXPECT_EQ(main->LangText(1000), "English");
    // A folder is no language file either.
    programDir.Write("language/Dir.ini/x", "");
    main->langTable = LangTable{};
    main->LoadLangFile(programDir / "language/Dir.ini");
    EXPECT_EQ(main->LangText(1000), "English");
}

// Neither file readable: the table keeps what it held.
TEST_F(LanguageFolderTest, NothingLoadable) {
    Make();
    main->langTable.LoadText("#1000 kept\n");
    main->LoadLangFile(programDir / "Language/Missing.ini");
    EXPECT_EQ(main->LangText(1000), "kept");
}

// Every translated caption is set, an undefined id empties its caption.
TEST_F(LanguageFolderTest, ApplyMainLangSetsEveryCaption) {
    Make();
    std::string text;
    for (int id :
         {1000, 1100, 1101, 1110, 1111, 1120, 1121, 1122, 1200, 1201, 1202, 1204, 1205, 1206, 1207})
        text += "#" + std::to_string(id) + " t" + std::to_string(id) + "\n";
    main->langTable.LoadText(text);
    main->ApplyMainLang();
    const std::vector<std::pair<std::string, std::string>> captions = {
        {main->Caption, "t1000"},
        {main->mnufile.caption, "t1100"},
        {main->mnuExit.caption, "t1101"},
        {main->mnuSetup.caption, "t1110"},
        {main->mnuLanguage.caption, "t1111"},
        {main->mnuAbout.caption, "t1120"},
        {main->mnuAbout_.caption, "t1121"},
        {main->mnuHelp.caption, "t1122"},
        {main->Label1[0].caption, "t1200"},
        {main->cmdBorwse.caption, "t1201"},
        {main->cmdStart.caption, "t1202"},
        {main->Label1[1].caption, "t1204"},
        {main->Label1[2].caption, "t1205"},
        {main->Label1[3].caption, "t1206"},
        {main->Label1[4].caption, "t1207"}};
    for (const auto& [got, want] : captions)
        EXPECT_EQ(got, want);
    // Untranslated controls keep their design texts.
    EXPECT_EQ(main->mnuComm.caption, "Communication");
    EXPECT_EQ(main->cmdStop.caption, "Stop");

    // A file with only non-entry lines, on a fresh table: every caption becomes empty.
    Make();
    programDir.Write("Language/Empty.ini", "; nothing\nno entries\n");
    main->LoadLangFile(programDir / "Language/Empty.ini");
    main->ApplyMainLang();
    EXPECT_EQ(main->Caption, "");
    EXPECT_EQ(main->cmdStart.caption, "");
    EXPECT_EQ(main->mnuExit.caption, "");
}

// The language window lists the folder's .ini files, and a click switches at once.
TEST_F(LanguageFolderTest, LanguageWindow) {
    programDir.Write("Language/English.ini", "#1000 English\n#1111 Language\n");
    programDir.Write("Language/b.INI", "#1000 Bee\n");
    programDir.Write("Language/notes.txt", "");
    programDir.Write("Language/folder.ini/inside", "");
    Make();
    main->mnuLanguage_Click();
    ASSERT_TRUE(main->frmLanguage);
    auto& window = *main->frmLanguage;
    EXPECT_EQ(window.File1.items, (std::vector<std::string>{"b.INI", "English.ini"}));
    EXPECT_EQ(window.Caption, "") << "nothing loaded yet";

    window.File1_Click(1);
    EXPECT_EQ(main->Caption, "English");
    EXPECT_EQ(window.Caption, "Language");
    window.File1_Click(0);
    EXPECT_EQ(main->Caption, "Bee");
    // Bee defines no 1111 in a lower slot: the English text of slot 1 is still found.
    EXPECT_EQ(window.Caption, "Language");
    EXPECT_EQ(world.store.writes,
              (test::CallLog{"Setup/Language=English.ini", "Setup/Language=b.INI"}));

    // A second click on the menu brings the same window forward.
    FrmLanguage* first = main->frmLanguage.get();
    main->mnuLanguage_Click();
    EXPECT_EQ(main->frmLanguage.get(), first);
    EXPECT_EQ(world.windows.shown.size(), 2u);
    main->ChildWindow_Closed(WindowId::frmLanguage);
    EXPECT_FALSE(main->frmLanguage);

    // The next start loads the chosen file.
    FrmMain next(world.ports(), programDir.path().string(), "");
    next.Form_Load();
    EXPECT_EQ(next.Caption, "Bee");
}

TEST_F(LanguageFolderTest, MissingFolderListsNothing) {
    Make();
    main->mnuLanguage_Click();
    EXPECT_TRUE(main->frmLanguage->File1.items.empty());
    main->frmLanguage->File1_Click(0); // nothing to click: no effect
    EXPECT_TRUE(world.store.writes.empty());
}

// The shipped files give a text for every id the utility shows, the same ids in each,
// and the Chinese file is Big5.
TEST(ShippedLanguageTest, EveryIdHasAText) {
    std::set<int> ids = {1000, 1100, 1101, 1110, 1111, 1120, 1121, 1122, 1200, 1201,
                         1202, 1204, 1205, 1206, 1207, 1300, 1302, 1304, 1306, 1311,
                         1312, 1313, 1314, 1315, 1316, 1317, 1318, 1319, 1320, 1321,
                         1322, 1323, 1324, 1325, 1326, 1327, 1328, 1329, 1330, 1331};
    for (DeviceText id : AllDeviceTexts())
        EXPECT_TRUE(ids.insert(static_cast<int>(id)).second) << "clashes: " << static_cast<int>(id);
    const std::string dir = KAPRIN_LANGUAGE_SOURCE_DIR;
    for (const char* name : {"English.ini", "TChinese.ini"}) {
        SCOPED_TRACE(name);
        LangTable table;
        ASSERT_TRUE(table.LoadFile(dir + "/" + name));
        std::set<int> defined;
        for (const auto& slot : table.slots()) {
            if (slot.id != 0) {
                EXPECT_TRUE(defined.insert(slot.id).second) << "twice: " << slot.id;
                EXPECT_FALSE(slot.text.empty()) << slot.id;
            }
        }
        EXPECT_EQ(defined, ids);
    }
    auto chinese = ReadWholeFile(dir + "/TChinese.ini");
    ASSERT_TRUE(chinese);
    EXPECT_FALSE(IsValidUtf8(*chinese));
    LangTable table;
    table.LoadFile(dir + "/TChinese.ini");
    EXPECT_EQ(table.Text(1100), "檔案");
    EXPECT_EQ(table.Text(1316), "轉換失敗，代碼");
    EXPECT_EQ(table.Text(1500), "序列裝置");
}

} // namespace
} // namespace kaprin

namespace kaprin {
namespace {

// Whatever bytes a language file holds, loading it gives UTF-8 texts and no crash.
TEST(LanguageRobustnessTest, RandomBytesDecodeToUtf8) {
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<unsigned char>(seed >> 16);
    };
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int length = next() * 4;
        for (int i = 0; i < length; ++i) {
            unsigned char c = next();
            // Plenty of entry starts and line ends among the noise.
            bytes += c < 20   ? '#'
                     : c < 40 ? '\n'
                     : c < 60 ? static_cast<char>('0' + c % 10)
                              : static_cast<char>(c);
        }
        const std::string text = DecodeLanguageText(bytes);
        ASSERT_TRUE(IsValidUtf8(text)) << "round " << round;
        LangTable table;
        table.LoadText(text);
        for (const auto& slot : table.slots())
            ASSERT_TRUE(IsValidUtf8(slot.text)) << "round " << round;
    }
}

// A FIFO or a device in the place of a language file is not read (it would block start-up
// or never end): the load fails at once and the table stays.
TEST(LanguageRobustnessTest, SpecialFilesAreNotRead) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir.path() / "Fifo.ini").c_str(), 0600), 0);
    LangTable table;
    table.LoadText("#1000 kept\n");
    EXPECT_FALSE(table.LoadFile((dir.path() / "Fifo.ini").string()));
    EXPECT_FALSE(table.LoadFile("/dev/zero"));
    EXPECT_EQ(table.Text(1000), "kept");
}

// A huge file is read only up to the limit, ending at a whole line.
TEST(LanguageRobustnessTest, HugeFileIsCut) {
    test::TempDir dir;
    std::string text = "#1000 first\n";
    while (text.size() < LangTable::kMaxFileBytes + 100)
        text += "; filler line that is not an entry\n";
    text += "#1001 beyond the limit\n";
    const std::string file = dir.Write("Huge.ini", text);
    LangTable table;
    ASSERT_TRUE(table.LoadFile(file));
    EXPECT_EQ(table.Text(1000), "first");
    EXPECT_EQ(table.Text(1001), "");
}

} // namespace
} // namespace kaprin
