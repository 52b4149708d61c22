// Real inputs made by other tools (see fixtures/make-fixtures): each converts to the PLN
// file beside it, byte for byte, and that PLN holds exactly the memory the input describes.
// KALDUN_UPDATE_GOLDEN=1 rewrites the expected PLN files after the memory check passed.
#include "kaldun_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace kaldun_test;

namespace {

const std::string kFixtures = KALDUN_FIXTURES;

struct FixtureCase {
    const char* name;
    std::vector<std::pair<std::string, int>> files; // name, page (-1: pages by records)
    int pages;                                      // pages that must hold data
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
    *os << c.name;
}

class Fixture : public testing::TestWithParam<FixtureCase> {
protected:
    void SetUp() override { ::setenv("TMPDIR", bankTmp.path().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        EXPECT_TRUE(listDir(bankTmp.path()).empty());
    }
    TempDir bankTmp;
    TempDir work;
};

TEST_P(Fixture, MatchesExpectedPln) {
    const FixtureCase& c = GetParam();
    std::vector<std::pair<std::string, int>> copies;
    for (const auto& [name, page] : c.files) {
        writeFile(work / name, ReadTextFile(kFixtures + "/" + name));
        copies.emplace_back(work / name, page);
    }
    const std::string input = c.files.front().first;
    const std::string plnName = input.substr(0, input.size() - 3) + "PLN";
    ASSERT_EQ(callKaldun((work / input).c_str()), 0);
    const std::string pln = ReadTextFile(work / plnName);

    std::string error;
    const Image fromPln = imageOfPln(pln, error);
    ASSERT_EQ(error, "");
    const Image fromHex = imageOfHex(copies);
    EXPECT_EQ(fromPln, fromHex);
    EXPECT_EQ(fromPln.empty() ? 0 : int(fromPln.rbegin()->first >> 16) + 1, c.pages);

    if (std::getenv("KALDUN_UPDATE_GOLDEN"))
        writeFile(kFixtures + "/" + plnName, pln);
    EXPECT_EQ(pln, ReadTextFile(kFixtures + "/" + plnName)) << "PLN differs from " << plnName;
}

INSTANTIATE_TEST_SUITE_P(
    Tools, Fixture,
    testing::Values(
        FixtureCase{"sdcc", {{"blink.hex", -1}}, 1},
        FixtureCase{"srec_cat_type02", {{"srec_segments.hex", -1}}, 3},
        FixtureCase{"srec_cat_type04", {{"srec_linear.hex", -1}}, 3},
        FixtureCase{"objcopy_concatenated", {{"objcopy_concat.hex", -1}}, 3},
        FixtureCase{"objcopy_series", {{"series.H00", 0}, {"series.H01", 1}, {"series.H02", 2}}, 3},
        FixtureCase{
            "hec_pair", {{"pair.HEC", 0}, {"pair.HE0", 0}, {"pair.HE1", 1}, {"pair.HE2", 2}}, 3}),
    [](const testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.name); });

// The same data written by one tool with type 02 records and 16-byte lines, and with type 04
// records and 32-byte lines: cutting each 32-byte record into 16-byte pieces from its start
// gives exactly the lines of the 16-byte form.
TEST(FixtureTools, SegmentAndLinearFormsAgree) {
    const Image segments = imageOfHex({{kFixtures + "/srec_segments.hex", -1}});
    EXPECT_FALSE(segments.empty());
    EXPECT_EQ(imageOfHex({{kFixtures + "/srec_linear.hex", -1}}), segments);
    EXPECT_NE(ReadTextFile(kFixtures + "/srec_segments.hex"),
              ReadTextFile(kFixtures + "/srec_linear.hex"));
    EXPECT_EQ(ReadTextFile(kFixtures + "/srec_segments.PLN"),
              ReadTextFile(kFixtures + "/srec_linear.PLN"));
}

} // namespace
