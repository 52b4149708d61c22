#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/recent_files.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kaprin {
namespace {

using test::FakeWorld;

using List = std::vector<std::string>;

struct RecentTest : ::testing::Test {
    FakeWorld world;
    FrmMain main{world.ports(), "/nonexistent", ""};
    void Seed(const List& entries) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            world.store.values[{"RecentFile", "File" + std::to_string(i + 1)}] = entries[i];
    }
    List Stored() {
        List list;
        for (int n = 1; n <= 4; ++n)
            list.push_back(world.store.ReadSetting("RecentFile", "File" + std::to_string(n)));
        return list;
    }
};

struct AddCase {
    const char* scenario;
    List before;
    std::string added;
    List after;
};

void PrintTo(const AddCase& c, std::ostream* os) {
    *os << c.scenario;
}

class AddRecentTest : public RecentTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddRecentTest, List) {
    const auto& c = GetParam();
    Seed(c.before);
    main.AddRecentFile(c.added);
    EXPECT_EQ(Stored(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddRecentTest,
    ::testing::Values(
        AddCase{"empty", {}, "/a/X.PLN", {"/a/X.PLN", "", "", ""}},
        AddCase{"third_moves_up", {"A", "B", "C", "D"}, "C", {"C", "A", "B", "D"}},
        AddCase{"new_one_pushes_out", {"A", "B", "C", "D"}, "E", {"E", "A", "B", "C"}},
        AddCase{"first_stays", {"A", "B", "C", "D"}, "A", {"A", "B", "C", "D"}},
        AddCase{"last_moves_up", {"A", "B", "C", "D"}, "D", {"D", "A", "B", "C"}},
        AddCase{
            "letter_case_counts", {"/a/x.pln", "B"}, "/a/X.PLN", {"/a/X.PLN", "/a/x.pln", "B", ""}},
        AddCase{"two_entries", {"A", "B"}, "B", {"B", "A", "", ""}},
        AddCase{"empty_path_ignored", {"A", "B", "C", "D"}, "", {"A", "B", "C", "D"}}));

// The menu shows each stored entry by its file name, its full path as the tip, and the
// separator with the first.
TEST_F(RecentTest, MenuFollowsTheStore) {
    main.RefreshRecentMenu();
    EXPECT_FALSE(main.mnuLine2.visible);
    for (const auto& item : main.mnuRF)
        EXPECT_FALSE(item.visible);

    main.AddRecentFile("/a/X.PLN");
    EXPECT_TRUE(main.mnuLine2.visible);
    EXPECT_TRUE(main.mnuRF[0].visible);
    EXPECT_EQ(main.mnuRF[0].caption, "X.PLN");
    EXPECT_FALSE(main.mnuRF[1].visible);
    EXPECT_FALSE(main.mnuLine1.visible);

    main.AddRecentFile("/b/X.PLN");
    main.AddRecentFile("/c/");
    EXPECT_EQ(main.mnuRF[0].caption, "");
    EXPECT_EQ(main.mnuRF[1].caption, "X.PLN");
    EXPECT_EQ(main.mnuRF[2].caption, "X.PLN");
    EXPECT_EQ(main.mnuRF[1].tooltip, "/b/X.PLN");
    EXPECT_EQ(main.mnuRF[2].tooltip, "/a/X.PLN");
    EXPECT_TRUE(main.mnuRF[2].visible);
    EXPECT_FALSE(main.mnuRF[3].visible);
}

// A click puts the entry's full path into the file box, read from the store at once,
// and does not reorder the list.
TEST_F(RecentTest, ClickPutsTheFullPath) {
    test::TempDir dir;
    const std::string existing = dir.Write("one/X.PLN", "x");
    Seed({existing, "/gone/X.PLN"});
    main.RefreshRecentMenu();
    main.mnuRF_Click(1);
    EXPECT_EQ(main.txtSFile.text, "/gone/X.PLN");
    EXPECT_EQ(main.List1.items, List{"/gone/X.PLN isn't exist."});
    main.mnuRF_Click(0);
    EXPECT_EQ(main.txtSFile.text, existing);
    EXPECT_EQ(main.List1.items.size(), 3u);
    EXPECT_EQ(Stored(), (List{existing, "/gone/X.PLN", "", ""}));
    EXPECT_TRUE(world.store.writes.empty());
    // The store changed behind the menu: the click reads the new value.
    world.store.values[{"RecentFile", "File2"}] = "/new.PLN";
    main.mnuRF_Click(1);
    EXPECT_EQ(main.txtSFile.text, "/new.PLN");
}

TEST(FileNamePartTest, TextAfterTheLastSlash) {
    EXPECT_EQ(FileNamePart("/a/b/X.PLN"), "X.PLN");
    EXPECT_EQ(FileNamePart("X.PLN"), "X.PLN");
    EXPECT_EQ(FileNamePart("/a/"), "");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FileNamePart("C:\\FW\\X.PLN"), "C:\\FW\\X.PLN");
}

} // namespace
} // namespace kaprin
