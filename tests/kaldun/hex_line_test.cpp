// The line decoder and the encoder of bank file and control lines.
#include "hex_line.h"
#include "kaldun_test_util.h"

#include <gtest/gtest.h>

#include <string>

using kaldun::DecodeStatus;
using kaldun::Record;
using kaldun_test::Bytes;
using kaldun_test::counting;
using kaldun_test::rec;

namespace {

struct DecodeCase {
    const char* name;
    std::string line;
    DecodeStatus status;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

// A well-known line from the format's documentation.
const std::string kKnown = ":10010000214601360121470136007EFE09D2190140";

TEST_P(DecodeTest, Status) {
    Record record;
    EXPECT_EQ(kaldun::decodeLine(GetParam().line, record), GetParam().status) << GetParam().line;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeTest,
    testing::Values(
        DecodeCase{"Plain", kKnown, DecodeStatus::Ok},
        DecodeCase{"CrLfAndTrailingText", kKnown + "\r\n", DecodeStatus::Ok},
        DecodeCase{"TextAfterBlankIsIgnored", kKnown + " ; comment :xyz", DecodeStatus::Ok},
        DecodeCase{"TextAfterHighCharacterIsIgnored", kKnown + "\xC3\xA9zz", DecodeStatus::Ok},
        DecodeCase{"LowerCase", lower(kKnown), DecodeStatus::Ok},
        DecodeCase{"EndOfFileRecord", ":00000001FF", DecodeStatus::Ok},
        DecodeCase{"ThirtyTwoBytes", rec(0x0010, 0, counting(32)), DecodeStatus::Ok},
        DecodeCase{"MaximumLength", rec(0x0000, 0, counting(255)), DecodeStatus::Ok},
        DecodeCase{"NoColon", kKnown.substr(1), DecodeStatus::NotRecord},
        DecodeCase{"ControlLead", "=0000000000", DecodeStatus::NotRecord},
        DecodeCase{"LeadingBlank", " " + kKnown, DecodeStatus::NotRecord},
        DecodeCase{"Empty", "", DecodeStatus::NotRecord},
        DecodeCase{"LetterG", ":10010000214601360121470136007EFE09D21901G0",
                   DecodeStatus::BadDigit},
        DecodeCase{"ColonInside", ":1001000021460136012147:136007EFE09D2190140",
                   DecodeStatus::BadDigit},
        DecodeCase{"Delete", kKnown.substr(0, 9) + "\x7F" + kKnown.substr(10),
                   DecodeStatus::BadDigit},
        DecodeCase{"WrongChecksum", ":10010000214601360121470136007EFE09D2190141",
                   DecodeStatus::BadChecksum},
        DecodeCase{"OddDigitCount", ":00000001FF0", DecodeStatus::BadLength},
        DecodeCase{"FewerBytesThanLengthSays", ":04000000010203F6", DecodeStatus::BadLength},
        DecodeCase{"MoreBytesThanLengthSays", ":01000000AABB9A", DecodeStatus::BadLength},
        DecodeCase{"ColonAlone", ":", DecodeStatus::BadLength},
        DecodeCase{"StopsAtCr", ":020000\r040000FA", DecodeStatus::BadChecksum}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

// The fields of a decoded line, and lower case giving the same bytes as upper case.
TEST(Decode, Fields) {
    const Bytes expected = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                            0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};
    for (const std::string& line : {kKnown, lower(kKnown)}) {
        Record r;
        ASSERT_EQ(kaldun::decodeLine(line, r), DecodeStatus::Ok);
        EXPECT_EQ(r.length, 16);
        EXPECT_EQ(r.address, 0x0100);
        EXPECT_EQ(r.type, 0x00);
        EXPECT_EQ(Bytes(r.data, r.data + r.length), expected);
    }
}

// A record that fails to decode leaves the current record as it was; a shorter record
// after a longer one leaves no old bytes in the data area.
TEST(Decode, RecordAreaOnFailureAndReuse) {
    Record r;
    ASSERT_EQ(kaldun::decodeLine(rec(0x1234, 0x00, counting(20, 1)), r), DecodeStatus::Ok);
    EXPECT_EQ(kaldun::decodeLine(":0000000001", r), DecodeStatus::BadChecksum);
    EXPECT_EQ(r.address, 0x1234);
    EXPECT_EQ(r.length, 20);
    ASSERT_EQ(kaldun::decodeLine(rec(0, 0x02, {}), r), DecodeStatus::Ok);
    EXPECT_EQ(r.data[0], 0);
}

// Bank file lines: upper-case digits, type 00, checksum recomputed, CR LF.
TEST(Encode, DataLine) {
    const Bytes data = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                        0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};
    std::string out = "x";
    kaldun::appendDataLine(out, 0x0100, data.data(), data.size());
    EXPECT_EQ(out, "x" + kKnown + "\r\n");
    out.clear();
    kaldun::appendDataLine(out, 0x7FFF, data.data(), 1);
    EXPECT_EQ(out, ":017FFF002160\r\n");
}

// The PLN header lines of the download protocol's examples.
TEST(Encode, ControlLines) {
    std::string out;
    const uint8_t bank0[2] = {0, 0};
    kaldun::appendControlLine(out, 0x01, bank0, 2);
    kaldun::appendControlLine(out, 0x02, bank0, 2);
    kaldun::appendControlLine(out, 0x00, nullptr, 0);
    EXPECT_EQ(out, "=020000010000FD\r\n=020000020000FC\r\n=0000000000\r\n");
}

TEST(Blank, Lines) {
    EXPECT_TRUE(kaldun::isBlankLine(""));
    EXPECT_TRUE(kaldun::isBlankLine(" \t\r\x1A\x01"));
    EXPECT_FALSE(kaldun::isBlankLine("  !"));
    EXPECT_FALSE(kaldun::isBlankLine("\xA0"));
}

} // namespace
