// Reading lines across buffer fills, with either line end and a last line without one.
#include "kaldun_test_util.h"
#include "line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kaldun_test;

namespace {

std::vector<std::string> readAll(const std::string& path, std::size_t maxLength) {
    kaldun::LineReader reader;
    EXPECT_TRUE(reader.open(path));
    std::vector<std::string> lines;
    std::string_view line;
    bool blank = false;
    while (reader.next(line, blank, maxLength) == kaldun::LineReader::Status::Line)
        lines.emplace_back(line);
    return lines;
}

// Lines of every length from 0 to 700 characters, so that many of them straddle a buffer
// fill, alternating CR LF and LF; the last one has no line end.
TEST(LineReader, LinesAcrossBufferFills) {
    TempDir dir;
    std::string text;
    std::vector<std::string> expected;
    for (int round = 0; round < 3; ++round)
        for (std::size_t n = 0; n <= 700; ++n) {
            std::string line(n, static_cast<char>('A' + n % 26));
            text += line + ((n % 2) ? "\r\n" : "\n");
            expected.push_back(n <= 601 ? line : line.substr(0, 601));
        }
    text += "tail";
    expected.push_back("tail");
    writeFile(dir / "f", text);
    ASSERT_GT(text.size(), 3u * 65536u);
    EXPECT_EQ(readAll(dir / "f", 600), expected);
}

// A long line is cut one character past the limit, and still known as blank or not.
TEST(LineReader, LongLines) {
    TempDir dir;
    writeFile(dir / "f", std::string(70000, ' ') + "\r\n" + std::string(70000, ' ') + "x\n:00\n");
    kaldun::LineReader reader;
    ASSERT_TRUE(reader.open(dir / "f"));
    std::string_view line;
    bool blank = false;
    ASSERT_EQ(reader.next(line, blank, 600), kaldun::LineReader::Status::Line);
    EXPECT_EQ(line.size(), 601u);
    EXPECT_TRUE(blank);
    ASSERT_EQ(reader.next(line, blank, 600), kaldun::LineReader::Status::Line);
    EXPECT_EQ(line.size(), 601u);
    EXPECT_FALSE(blank);
    ASSERT_EQ(reader.next(line, blank, 600), kaldun::LineReader::Status::Line);
    EXPECT_EQ(line, ":00");
    EXPECT_EQ(reader.next(line, blank, 600), kaldun::LineReader::Status::End);
}

} // namespace
