// Whole conversions through the exported KALDUN: how records land in the banks, the series
// and the .HEC pair, and every failure with its code.
#include "banks.h"
#include "kaldun_test_util.h"
#include "pln_writer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace kaldun_test;

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;
using Banks = std::vector<std::vector<std::string>>;

std::string text(const std::vector<std::string>& lines) {
    std::string t;
    for (const std::string& line : lines)
        t += line + "\r\n";
    return t;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t n) {
    return Bytes(b.begin() + from, b.begin() + from + n);
}

std::string data(uint16_t address, const Bytes& bytes) {
    return rec(address, 0x00, bytes);
}
std::string segment(uint8_t high) {
    return rec(0, 0x02, {high, 0x00});
}
std::string linear(uint16_t value) {
    return rec(0, 0x04, {uint8_t(value >> 8), uint8_t(value)});
}
const std::string kEof = ":00000001FF";

const Bytes c4 = counting(4, 0xA0);
const Bytes c16 = counting(16, 0x10);

// Every conversion runs with TMPDIR pointing at a private folder that must be empty again
// afterwards: the bank files and their folder are removed in every case.
class Convert : public testing::Test {
protected:
    void SetUp() override { ::setenv("TMPDIR", bankTmp.path().c_str(), 1); }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        EXPECT_TRUE(listDir(bankTmp.path()).empty()) << "bank folder left behind";
    }
    void put(const Files& files) {
        for (const auto& [name, content] : files)
            writeFile(work / name, content);
    }
    int32_t convert(const std::string& name) { return callKaldun((work / name).c_str()); }

    TempDir bankTmp;
    TempDir work;
};

struct ImageCase {
    const char* name;
    Files files;
    std::string input;
    Banks banks;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertImage : public Convert, public testing::WithParamInterface<ImageCase> {};

TEST_P(ConvertImage, WritesBanks) {
    const ImageCase& c = GetParam();
    put(c.files);
    ASSERT_EQ(convert(c.input), 0);
    EXPECT_EQ(ReadTextFile(work / "X.PLN"), plnText(c.banks));
}

const Bytes c32 = counting(32, 0x40);
const Bytes c28 = counting(28, 0x70);
const Bytes c27 = counting(27, 0x90);
const Bytes c255 = counting(255, 0x01);

Banks pieces255() {
    Banks banks(1);
    for (std::size_t at = 0; at < 255; at += 16)
        banks[0].push_back(
            data(uint16_t(0x4100 + at), slice(c255, at, std::min<std::size_t>(16, 255 - at))));
    return banks;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertImage,
    testing::Values(
        ImageCase{"SixteenBytesAt0100",
                  {{"X.HEX", text({data(0x0100, c16), kEof})}},
                  "X.HEX",
                  {{data(0x4100, c16)}}},
        ImageCase{"SplitAtBankBoundary",
                  {{"X.HEX", text({data(0x3FF8, c16), kEof})}},
                  "X.HEX",
                  {{data(0x7FF8, slice(c16, 0, 8))}, {data(0x4000, slice(c16, 8, 8))}}},
        // Page 0: a type 02 record with first byte 0 or negative is skipped; 10 opens page 1.
        // Page 1 drops its low half (also the low part of a split); any type 02 opens page 2.
        // Page 2 skips type 02 records.
        ImageCase{
            "PagesFromSegmentRecords",
            {{"X.HEX", text({segment(0x00), data(0x0000, c4), segment(0x80), data(0xC000, c4),
                             segment(0x10), data(0x2000, c4), data(0xA000, c4), data(0x7FFE, c4),
                             data(0xFFFC, c4), segment(0x00), data(0x8000, c4), segment(0x30),
                             data(0x1000, c4), data(0xC002, c4), kEof})}},
            "X.HEX",
            {{data(0x4000, c4)},
             {},
             {},
             {data(0x4000, c4)},
             {data(0x6000, c4), data(0x4000, slice(c4, 2, 2))},
             {data(0x7FFC, c4)},
             {data(0x4000, c4)},
             {data(0x4002, c4)}}},
        // Type 04: 0 on page 0 and the current page again are skipped; 1 and 2 open pages.
        ImageCase{
            "PagesFromLinearRecords",
            {{"X.HEX", text({linear(0), data(0x0000, c4), linear(0), linear(1), data(0x8000, c4),
                             linear(1), data(0xC000, c4), linear(2), data(0x8001, c4), kEof})}},
            "X.HEX",
            {{data(0x4000, c4)},
             {},
             {},
             {},
             {data(0x4000, c4)},
             {data(0x4000, c4)},
             {data(0x4001, c4)}}},
        ImageCase{"LinearRecordOpensPage2FromPage0",
                  {{"X.HEX", text({data(0x0000, c4), linear(2), data(0x8000, c4), kEof})}},
                  "X.HEX",
                  {{data(0x4000, c4)}, {}, {}, {}, {}, {}, {data(0x4000, c4)}}},
        // Records over 27 bytes are cut into 16-byte pieces, each split at a boundary;
        // 27 bytes stay whole.
        ImageCase{"LongRecordsCutInPieces",
                  {{"X.HEX", text({data(0x0010, c32), data(0x3FF8, c28), data(0x8000, c27)})}},
                  "X.HEX",
                  {{data(0x4010, slice(c32, 0, 16)), data(0x4020, slice(c32, 16, 16)),
                    data(0x7FF8, slice(c28, 0, 8))},
                   {data(0x4000, slice(c28, 8, 8)), data(0x4008, slice(c28, 16, 12))},
                   {data(0x4000, c27)}}},
        ImageCase{
            "LongestRecord", {{"X.HEX", text({data(0x0100, c255), kEof})}}, "X.HEX", pieces255()},
        ImageCase{"SkippedTypes",
                  {{"X.HEX",
                    text({rec(0, 0x03, {0, 0, 1, 0}), data(0x0000, c4), rec(0, 0x05, {0, 0, 1, 0}),
                          rec(0, 0x06, c4), rec(0, 0xFF, {}), data(0x0004, c4), kEof})}},
                  "X.HEX",
                  {{data(0x4000, c4), data(0x4004, c4)}}},
        ImageCase{
            "ReadsOnAfterEndOfFile",
            {{"X.HEX", text({data(0x0000, c4), kEof, segment(0x10), data(0x8000, c4), kEof})}},
            "X.HEX",
            {{data(0x4000, c4)}, {}, {}, {}, {data(0x4000, c4)}}},
        ImageCase{"BadLineAfterEndOfFileEndsFile",
                  {{"X.HEX", text({data(0x0000, c4), kEof, "garbage", data(0x0004, c4)})}},
                  "X.HEX",
                  {{data(0x4000, c4)}}},
        ImageCase{
            "EmptyLinesAnywhere",
            {{"X.HEX", "\r\n \t \r\n" + data(0x0000, c4) + "\r\n\r\n\n   \r\n" + data(0x0004, c4) +
                           "\r\n\x1A\r\n" + std::string(700, ' ') + "\r\n" + kEof + "\r\n \r\n"}},
            "X.HEX",
            {{data(0x4000, c4), data(0x4004, c4)}}},
        ImageCase{"LastLineWithoutLineEnd",
                  {{"X.HEX", data(0x0000, c4) + "\r\n" + data(0x0004, c4)}},
                  "X.HEX",
                  {{data(0x4000, c4), data(0x4004, c4)}}},
        ImageCase{"LfLineEnds",
                  {{"X.HEX", data(0x0000, c4) + "\n" + data(0x4000, c4) + "\n"}},
                  "X.HEX",
                  {{data(0x4000, c4)}, {data(0x4000, c4)}}},
        ImageCase{"LowerCaseDigits",
                  {{"X.HEX", lower(text({data(0x0AB0, counting(16, 0xAA)), segment(0x10),
                                         data(0xBCDE, c4), kEof}))}},
                  "X.HEX",
                  {{data(0x4AB0, counting(16, 0xAA))}, {}, {}, {}, {data(0x7CDE, c4)}}},
        ImageCase{"LineOf600Characters",
                  {{"X.HEX",
                    data(0x0000, c4) + " " + std::string(599 - data(0, c4).size(), 'x') + "\r\n"}},
                  "X.HEX",
                  {{data(0x4000, c4)}}},
        // Nothing is sorted, merged or padded: overlapping and empty records are all kept.
        ImageCase{
            "RecordsKeptInInputOrder",
            {{"X.HEX", text({data(0x0010, c4), data(0x0000, c16), data(0x0010, counting(4)),
                             data(0x1000, {})})}},
            "X.HEX",
            {{data(0x4010, c4), data(0x4000, c16), data(0x4010, counting(4)), data(0x5000, {})}}},
        // The plain .HEX rule applies to any case of the extension.
        ImageCase{"LowerCaseExtension",
                  {{"X.hex", text({data(0x0000, c4), segment(0x10), data(0x8000, c4)})}},
                  "X.hex",
                  {{data(0x4000, c4)}, {}, {}, {}, {data(0x4000, c4)}}},
        ImageCase{"Series",
                  {{"X.H00", text({data(0x0100, c4), kEof})},
                   {"X.H01", text({data(0x2000, c4), data(0xA000, c4), kEof})},
                   {"X.H02", text({data(0x8000, c4), data(0xFFFC, c4), kEof})}},
                  "X.H00",
                  {{data(0x4100, c4)},
                   {},
                   {},
                   {},
                   {data(0x6000, c4)},
                   {},
                   {data(0x4000, c4)},
                   {data(0x7FFC, c4)}}},
        ImageCase{"SeriesWithoutThirdFile",
                  {{"X.H00", text({data(0x0100, c4)})}, {"X.H01", text({data(0xC000, c4)})}},
                  "X.H00",
                  {{data(0x4100, c4)}, {}, {}, {}, {}, {data(0x4000, c4)}}},
        // A missing second file ends the image: the third is not read.
        ImageCase{"SeriesWithoutSecondFile",
                  {{"X.H00", text({data(0x0100, c4)})}, {"X.H02", text({data(0xC000, c4)})}},
                  "X.H00",
                  {{data(0x4100, c4)}}},
        // In a series a page record ends the first file; page 1 still comes from X.H01.
        ImageCase{"SeriesPageRecordEndsFirstFile",
                  {{"X.H00", text({data(0x0100, c4), segment(0x10), data(0x8000, c4)})},
                   {"X.H01", text({data(0xC000, c4)})}},
                  "X.H00",
                  {{data(0x4100, c4)}, {}, {}, {}, {}, {data(0x4000, c4)}}},
        ImageCase{"HecPair",
                  {{"X.HEC", text({data(0x0000, c4), kEof})},
                   {"X.HE0", text({data(0x4000, c4), kEof})},
                   {"X.HE1", text({data(0x8000, c4)})},
                   {"X.HE2", text({data(0xC000, c4)})}},
                  "X.HEC",
                  {{data(0x4000, c4)},
                   {data(0x4000, c4)},
                   {},
                   {},
                   {data(0x4000, c4)},
                   {},
                   {},
                   {data(0x4000, c4)}}},
        ImageCase{"HecPairLowerCase",
                  {{"X.hec", text({data(0x0000, c4)})}, {"X.he0", text({data(0x0004, c4)})}},
                  "X.hec",
                  {{data(0x4000, c4), data(0x4004, c4)}}},
        // A page record in X.HE0 keeps the reading in X.HE0, as in a plain .HEX file.
        ImageCase{"HecCompanionHoldsPages",
                  {{"X.HEC", text({data(0x0000, c4)})},
                   {"X.HE0", text({segment(0x10), data(0x8000, c4)})},
                   {"X.HE1", text({data(0xC000, c4)})}},
                  "X.HEC",
                  {{data(0x4000, c4)}, {}, {}, {}, {data(0x4000, c4)}}},
        // A .HEX file whose last page record opened page 1 takes page 2 from X.HE2, the
        // name with its last character replaced by 2.
        ImageCase{"HexWithPage1ReadsHe2",
                  {{"X.HEX", text({segment(0x10), data(0x8000, c4)})},
                   {"X.HE2", text({data(0x8000, c4)})}},
                  "X.HEX",
                  {{}, {}, {}, {}, {data(0x4000, c4)}, {}, {data(0x4000, c4)}}}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    Files files;
    std::string input;
    int32_t code;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertFailure : public Convert, public testing::WithParamInterface<FailureCase> {};

// A failure leaves an existing PLN file as it was and nothing new beside it.
TEST_P(ConvertFailure, LeavesPlnUntouched) {
    const FailureCase& c = GetParam();
    put(c.files);
    writeFile(work / "X.PLN", "old image\r\n");
    const std::vector<std::string> before = listDir(work.path());
    EXPECT_EQ(convert(c.input), c.code);
    EXPECT_EQ(ReadTextFile(work / "X.PLN"), "old image\r\n");
    EXPECT_EQ(listDir(work.path()), before);
}

const std::string kGood = data(0x0000, c4);

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertFailure,
    testing::Values(
        FailureCase{"NoColon", {{"X.HEX", text({kGood, kGood.substr(1)})}}, "X.HEX", 7},
        FailureCase{"ControlLine", {{"X.HEX", text({kGood, "=0000000000"})}}, "X.HEX", 7},
        FailureCase{"LeadingBlank", {{"X.HEX", text({" " + kGood})}}, "X.HEX", 7},
        FailureCase{"BadDigit", {{"X.HEX", text({":0400000001G20304F2"})}}, "X.HEX", 7},
        FailureCase{
            "BadChecksum", {{"X.HEX", text({kGood, ":0400000001020304F3", kEof})}}, "X.HEX", 7},
        FailureCase{"WrongLength", {{"X.HEX", text({":04000000010203F6"})}}, "X.HEX", 7},
        FailureCase{"LineOf601Characters",
                    {{"X.HEX", kGood + " " + std::string(600 - kGood.size(), 'x') + "\r\n"}},
                    "X.HEX",
                    7},
        FailureCase{"LongBlankTailStillTooLong",
                    {{"X.HEX", kGood + std::string(700, ' ') + "\r\n"}},
                    "X.HEX",
                    7},
        FailureCase{"BadLastLineWithoutLineEnd", {{"X.HEX", kGood + "\r\n:0400"}}, "X.HEX", 7},
        // The end-of-file record of the first file does not excuse a bad line in the second.
        FailureCase{"BadLineInSecondFile",
                    {{"X.H00", text({kGood, kEof})}, {"X.H01", text({"junk"})}},
                    "X.H00",
                    7},
        FailureCase{"BadLineInPage2",
                    {{"X.HEX", text({segment(0x10), segment(0x20), data(0x8000, c4), "junk"})}},
                    "X.HEX",
                    7},
        FailureCase{"RunsPastFFFF", {{"X.HEX", text({data(0xFFF8, c16)})}}, "X.HEX", 7},
        FailureCase{"LongRecordRunsPastFFFF", {{"X.HEX", text({data(0xFFF0, c32)})}}, "X.HEX", 7},
        FailureCase{
            "RunsPastFFFFInPage1", {{"X.HEX", text({linear(1), data(0xFFFF, c4)})}}, "X.HEX", 7},
        FailureCase{
            "RunsPastFFFFAfterEndOfFile", {{"X.HEX", text({kEof, data(0xFFFF, c4)})}}, "X.HEX", 7},
        FailureCase{"LinearPage3", {{"X.HEX", text({kGood, linear(3)})}}, "X.HEX", 8},
        FailureCase{
            "LinearPageBelowCurrent", {{"X.HEX", text({linear(2), linear(1)})}}, "X.HEX", 8},
        FailureCase{
            "LinearPage0OnPage1", {{"X.HEX", text({segment(0x10), linear(0)})}}, "X.HEX", 8},
        FailureCase{"LinearZeroInSeriesPage1",
                    {{"X.H00", text({kGood})}, {"X.H01", text({linear(0), data(0x8000, c4)})}},
                    "X.H00",
                    8},
        FailureCase{"LinearLargeValue", {{"X.HEX", text({linear(0x0100)})}}, "X.HEX", 8},
        FailureCase{"LinearOneByte", {{"X.HEX", text({rec(0, 0x04, {1})})}}, "X.HEX", 8},
        FailureCase{"HecCompanionMissing", {{"X.HEC", text({kGood})}}, "X.HEC", 1},
        FailureCase{"InputMissing", {}, "X.HEX", 5},
        FailureCase{"SeriesFirstFileMissing", {{"X.H01", text({kGood})}}, "X.H00", 5}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A new PLN gets the usual mode; one that replaces a PLN keeps the old file's permissions.
TEST_F(Convert, PlnModeIsUsualOrKept) {
    put({{"X.HEX", text({kGood})}});
    const mode_t umask = ::umask(022);
    for (const mode_t old : {mode_t(0), mode_t(0600), mode_t(0640), mode_t(0444)}) {
        if (old != 0) {
            writeFile(work / "X.PLN", "old image\r\n");
            ::chmod((work / "X.PLN").c_str(), old);
        }
        EXPECT_EQ(convert("X.HEX"), 0);
        EXPECT_EQ(ReadTextFile(work / "X.PLN"), plnText({{data(0x4000, c4)}}));
        struct stat st;
        ASSERT_EQ(::stat((work / "X.PLN").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, old != 0 ? old : 0644u) << std::oct << old;
        EXPECT_EQ(listDir(work.path()), (std::vector<std::string>{"X.HEX", "X.PLN"}));
        ::chmod((work / "X.PLN").c_str(), 0644);
        ::unlink((work / "X.PLN").c_str());
    }
    ::umask(umask);
}

TEST_F(Convert, EmptyInputGivesEightEmptyBlocks) {
    put({{"X.HEX", ""}});
    EXPECT_EQ(convert("X.HEX"), 0);
    EXPECT_EQ(ReadTextFile(work / "X.PLN"), plnText({}));
}

// Runs a conversion in a child process, so that one that hangs fails the test instead of
// stopping it: -1 when it has not returned within five seconds.
int32_t convertWithin5s(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(callKaldun(path.c_str()));
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(child, &status, WNOHANG) == 0; ++i)
        ::usleep(10000);
    if (::kill(child, SIGKILL) == 0 && ::waitpid(child, &status, 0) == child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

struct SpecialCase {
    const char* name;
    std::string special; // made a FIFO (.HE0 and F.HEX), a folder (D) or a link to /dev/zero
    std::string input;
    int32_t code;
};

class SpecialInput : public Convert, public testing::WithParamInterface<SpecialCase> {};

// Only regular files are read: a FIFO or a device as input is refused at once, never waited
// on or read for ever.
TEST_P(SpecialInput, IsRefusedAtOnce) {
    const SpecialCase& c = GetParam();
    put({{"X.HEC", text({kGood})}});
    const std::string special = work / c.special;
    ASSERT_EQ(c.special[0] == 'D'   ? ::mkdir(special.c_str(), 0755)
              : c.special[0] == 'Z' ? ::symlink("/dev/zero", special.c_str())
                                    : ::mkfifo(special.c_str(), 0600),
              0);
    EXPECT_EQ(convertWithin5s(work / c.input), c.code);
    EXPECT_FALSE(exists(work / "X.PLN"));
}

INSTANTIATE_TEST_SUITE_P(Cases, SpecialInput,
                         testing::Values(SpecialCase{"Folder", "D.HEX", "D.HEX", 5},
                                         SpecialCase{"Fifo", "F.HEX", "F.HEX", 5},
                                         SpecialCase{"DevZero", "Z.HEX", "Z.HEX", 5},
                                         SpecialCase{"FifoCompanion", "X.HE0", "X.HEC", 1}),
                         [](const testing::TestParamInfo<SpecialCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Convert, NullPath) {
    EXPECT_EQ(callKaldun(nullptr), 5);
}

// A path of 255 bytes fits the 256-byte buffer with its NUL and is written, even as one file
// name of the longest length in the current folder; 256 bytes do not fit, and nothing is read
// or written for them.
TEST_F(Convert, PathLengthLimit) {
    const std::string back = std::filesystem::current_path();
    ASSERT_EQ(::chdir(work.path().c_str()), 0);
    const std::string fits = std::string(251, 'n') + ".HEX";
    writeFile(fits, text({kGood}));
    EXPECT_EQ(callKaldun(fits.c_str()), 0);
    const std::string tooLong = "./" + std::string(250, 'm') + ".HEX";
    ASSERT_EQ(tooLong.size(), 256u);
    writeFile(tooLong, text({kGood}));
    EXPECT_EQ(callKaldun(tooLong.c_str()), 5);
    EXPECT_EQ(callKaldun((tooLong + std::string(1000, 'x')).c_str()), 5);
    ASSERT_EQ(::chdir(back.c_str()), 0);
    EXPECT_EQ(listDir(work.path()), (std::vector<std::string>{std::string(250, 'm') + ".HEX",
                                                              std::string(251, 'n') + ".HEX",
                                                              std::string(251, 'n') + ".PLN"}));
}

TEST_F(Convert, PlnCannotBeCreated) {
    put({{"X.HEX", text({kGood})}});
    ::mkdir((work / "X.PLN").c_str(), 0755); // a folder stands where the file should go
    EXPECT_EQ(convert("X.HEX"), 4);
    EXPECT_EQ(listDir(work.path()), (std::vector<std::string>{"X.HEX", "X.PLN"}));
    EXPECT_TRUE(listDir(work / "X.PLN").empty());
}

TEST_F(Convert, BankFolderCannotBeCreated) {
    put({{"X.HEX", text({kGood})}});
    ::setenv("TMPDIR", (work / "missing").c_str(), 1);
    EXPECT_EQ(convert("X.HEX"), 6);
    EXPECT_FALSE(exists(work / "X.PLN"));
}

// The bank files never go to the current folder: files of the user's named like them stay as
// they are, and the conversion works where the current folder cannot be written.
TEST_F(Convert, LeavesCurrentFolderAlone) {
    TempDir cwd;
    for (int b = 0; b < 8; ++b)
        writeFile(cwd / ("Flash.B0" + std::to_string(b)), "mine " + std::to_string(b));
    put({{"X.HEX", text({kGood})}});
    const std::string back = std::filesystem::current_path();
    ASSERT_EQ(::chdir(cwd.path().c_str()), 0);
    ::chmod(cwd.path().c_str(), 0555); // binding unless running as root
    const int32_t result = convert("X.HEX");
    ::chmod(cwd.path().c_str(), 0755);
    ASSERT_EQ(::chdir(back.c_str()), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(listDir(cwd.path()).size(), 8u);
    for (int b = 0; b < 8; ++b)
        EXPECT_EQ(ReadTextFile(cwd / ("Flash.B0" + std::to_string(b))),
                  "mine " + std::to_string(b));
}

// A bank file that cannot be opened while the PLN is written fails the conversion, never a
// PLN with a bank missing.
TEST_F(Convert, MissingBankFileWhileWritingPln) {
    for (int missing : {0, 5}) {
        kaldun::BankFolder folder;
        ASSERT_TRUE(folder.ok());
        for (int b = 0; b < 8; ++b)
            if (b != missing)
                writeFile(folder.bankPath(b), "");
        writeFile(work / "X.PLN", "old image\r\n");
        EXPECT_EQ(kaldun::writePln(folder, work / "X.PLN"), kaldun::Result::BankFileFailed);
        EXPECT_EQ(ReadTextFile(work / "X.PLN"), "old image\r\n");
        EXPECT_EQ(listDir(work.path()), std::vector<std::string>{"X.PLN"});
    }
}

TEST(PlnName, LastThreeCharactersReplaced) {
    EXPECT_EQ(kaldun::plnPathFor("/a/x.hex"), "/a/x.PLN");
    EXPECT_EQ(kaldun::plnPathFor("X.H00"), "X.PLN");
    EXPECT_EQ(kaldun::plnPathFor("X.HEC"), "X.PLN");
    EXPECT_EQ(kaldun::plnPathFor("image"), "imPLN");
}

} // namespace
