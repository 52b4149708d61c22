// Images written at test time by srec_cat (Debian package srecord) with record sizes up to
// 255 bytes and both kinds of page records; skipped when srec_cat is not installed.
#include "kaldun_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace kaldun_test;

namespace {

bool haveSrecCat() {
    return std::system("srec_cat -version >/dev/null 2>&1") == 0;
}

class SrecCat : public testing::Test {
protected:
    void SetUp() override {
        if (!haveSrecCat())
            GTEST_SKIP() << "srec_cat not found: apt-get install srecord (scripts/install-deps)";
        ::setenv("TMPDIR", bankTmp.path().c_str(), 1);
        // 50 KB of data for three pages.
        std::string bytes;
        uint32_t seed = 7;
        for (int i = 0; i < 50000; ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes += static_cast<char>(seed >> 16);
        }
        writeFile(work / "data.bin", bytes);
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        EXPECT_TRUE(listDir(bankTmp.path()).empty());
    }
    // Writes X.HEX with srec_cat from three pieces of data.bin and converts it.
    int32_t convert(const std::string& options) {
        const std::string bin = work / "data.bin";
        // Page 0 at 1000, page 1 at 10E20 (its low half, dropped) and 181A8, page 2 at 28FC8.
        const std::string cmd = "srec_cat " + bin + " -binary -crop 0 20000 -offset 0x1000 " + bin +
                                " -binary -crop 20000 25000 -offset 0xC000 " + bin +
                                " -binary -crop 25000 45000 -offset 0x12000 " + bin +
                                " -binary -crop 45000 50000 -offset 0x1E000 -o " +
                                (work / "X.HEX") + " -intel " + options;
        if (std::system(cmd.c_str()) != 0)
            ADD_FAILURE() << cmd;
        return callKaldun((work / "X.HEX").c_str());
    }
    TempDir bankTmp;
    TempDir work;
};

TEST_F(SrecCat, RecordSizesAndPageRecords) {
    for (const char* options : {"--address-length=3 -obs=16", "--address-length=3 -obs=32",
                                "--address-length=3 -obs=255", "--address-length=4 -obs=27",
                                "--address-length=4 -obs=28", "--address-length=4 -obs=200"}) {
        SCOPED_TRACE(options);
        ASSERT_EQ(convert(options), 0);
        std::string error;
        const Image pln = imageOfPln(ReadTextFile(work / "X.PLN"), error);
        EXPECT_EQ(error, "");
        EXPECT_EQ(pln, imageOfHex({{work / "X.HEX", -1}}));
        EXPECT_EQ(pln.size(), 20000u + 20000u + 5000u);
    }
}

// srec_cat lets a long record run across the end of a 64 KB page; the converter refuses it.
TEST_F(SrecCat, RecordAcrossPageEndRefused) {
    const std::string bin = work / "data.bin";
    const std::string cmd = "srec_cat " + bin + " -binary -crop 0 300 -offset 0x1FF00 -o " +
                            (work / "X.HEX") + " -intel -obs=255";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_NE(ReadTextFile(work / "X.HEX").find(":2DFFFF00"), std::string::npos);
    EXPECT_EQ(callKaldun((work / "X.HEX").c_str()), 7);
    EXPECT_FALSE(exists(work / "X.PLN"));
}

} // namespace
