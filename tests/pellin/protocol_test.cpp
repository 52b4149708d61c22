// The transfer protocol against a scripted port and a virtual clock.
#include "engine.h"
#include "fake_port.h"
#include "image_file.h"
#include "pln_image.h"
#include "record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using pellintest::Answer;
using pellintest::FakePort;
using testsupport::ControlRecord;
using testsupport::DataRecord;

namespace {

constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t ESC = 0x1B;
const std::optional<uint8_t> NONE;

pellin::Engine::Launcher Inline() {
    return [](std::function<void()> job) {
        job();
        return true;
    };
}

class Protocol : public ::testing::Test {
protected:
    FakePort port;
    pellin::Engine engine{port.Transport(), port.Clock(), Inline()};
    kaprin::test::TempDir dir;

    // Writes after the two end frames of a good link start.
    std::vector<std::string> JobFrames() const {
        std::vector<std::string> frames(port.writes.begin(), port.writes.end());
        EXPECT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[0], pellin::kEndFrame);
        EXPECT_EQ(frames[1], pellin::kEndFrame);
        frames.erase(frames.begin(), frames.begin() + std::min<size_t>(2, frames.size()));
        return frames;
    }
};

std::vector<std::string> BlockFrames(int bank, int lines) {
    std::vector<std::string> frames{
        ControlRecord(0x01, {0, static_cast<unsigned char>(bank)}) + "\n",
        ControlRecord(0x02, {0, static_cast<unsigned char>(bank)}) + "\n"};
    testsupport::PlnLayout one;
    one.banks = bank + 1;
    one.linesPerBank = lines;
    const std::string image = testsupport::MakePlnImage(one);
    // The data lines of the last bank, as sent: CR removed, LF kept.
    size_t at = 0;
    std::vector<std::string> all;
    while (at < image.size()) {
        const size_t end = image.find("\r\n", at);
        all.push_back(image.substr(at, end - at) + "\n");
        at = end + 2;
    }
    const size_t first = all.size() - 1 - static_cast<size_t>(lines);
    frames.insert(frames.end(), all.begin() + static_cast<long>(first), all.end() - 1);
    frames.push_back(pellin::kEndFrame);
    return frames;
}

// --- send-and-wait -------------------------------------------------------------------------

struct SendCase {
    const char* scenario;
    std::vector<std::optional<uint8_t>> replies;
    pellin::Status status;
    size_t sends;
    uint32_t elapsedMs;
};

class SendAndWait : public Protocol, public ::testing::WithParamInterface<SendCase> {};

// Each reply sequence gives its status after the expected number of sends.
TEST_P(SendAndWait, CountsRefusalsAndTimesOut) {
    const SendCase& c = GetParam();
    port.device = FakePort::FrameReplies(c.replies);
    port.open = true;
    engine.PutFrame(pellin::kEndFrame);
    EXPECT_EQ(engine.SendAndWait(2), c.status) << c.scenario;
    EXPECT_EQ(port.writes.size(), c.sends) << c.scenario;
    EXPECT_EQ(port.nowMs.load(), c.elapsedMs) << c.scenario;
    for (const std::string& w : port.writes)
        EXPECT_EQ(w, pellin::kEndFrame);
}

// A NAK sends the frame again at once; after a byte that is no answer the frame goes again
// when its answer is due, 12 + 4 characters at the default 9600 baud and 20 ms after it left.
constexpr uint32_t S = 17 + 20;

INSTANTIATE_TEST_SUITE_P(
    Replies, SendAndWait,
    ::testing::Values(
        SendCase{"ack", {ACK}, pellin::kOk, 1, 1},
        SendCase{"three naks then ack", {NAK, NAK, NAK, ACK}, pellin::kOk, 4, 4},
        SendCase{"four naks then 41", {NAK, NAK, NAK, NAK, 0x41}, pellin::kRefusedOther, 5, 5},
        SendCase{
            "four 41 then nak", {0x41, 0x41, 0x41, 0x41, NAK}, pellin::kRefusedNak, 5, 1 + 4 * S},
        SendCase{"five 41", {0x41, 0x41, 0x41, 0x41, 0x41}, pellin::kNoisyLine, 5, 1 + 4 * S},
        SendCase{"esc", {ESC}, pellin::kProgramFail, 1, 1},
        SendCase{"esc after a nak", {NAK, ESC}, pellin::kProgramFail, 2, 2},
        SendCase{"silence", {NONE}, pellin::kTimeOut, 1, 2000},
        SendCase{"nak then silence", {NAK, NONE}, pellin::kTimeOut, 2, 2001}));

// A stray byte every millisecond for ms milliseconds.
std::vector<Answer> Babble(uint32_t ms) {
    std::vector<Answer> bytes;
    for (uint32_t at = 1; at <= ms; ++at)
        bytes.push_back({'?', at});
    return bytes;
}

struct StrayCase {
    const char* scenario;
    std::vector<std::vector<Answer>> answers; // to each write in turn
    std::string sent;                         // the frames written, A or B each
};

class StrayBytes : public Protocol, public ::testing::WithParamInterface<StrayCase> {};

// Frame A then frame B, both accepted in the end: a byte beside A's answer is never taken for
// B's, so a refused B is sent again, and an answer under way is not carried over.
TEST_P(StrayBytes, EachAnswerBelongsToTheFrameJustSent) {
    const StrayCase& c = GetParam();
    auto next = std::make_shared<size_t>(0);
    port.device = [c, next](const std::string&) {
        return *next < c.answers.size() ? c.answers[(*next)++] : std::vector<Answer>{};
    };
    port.open = true;
    std::string sent;
    for (const char* frame : {"=A\n", "=B\n"}) {
        engine.PutFrame(frame);
        EXPECT_EQ(engine.SendAndWait(2), pellin::kOk) << c.scenario << frame;
    }
    for (const std::string& w : port.writes)
        sent += w[1];
    EXPECT_EQ(sent, c.sent) << c.scenario;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StrayBytes,
    ::testing::Values(StrayCase{"a second ack", {{{ACK}, {ACK}}, {{NAK}}, {{ACK}}}, "ABB"},
                      StrayCase{"noise after the ack", {{{ACK}, {'?'}}, {{NAK}}, {{ACK}}}, "ABB"},
                      StrayCase{"noise ahead of the answer",
                                {{{'?', 1}, {ACK, 3}}, {{ACK, 2}}, {{NAK, 2}}, {{ACK}}},
                                "AABB"},
                      // A line never quiet for long still gets the frame sent again.
                      StrayCase{"a babbling line", {Babble(40), {}, {{ACK}}, {{ACK}}}, "AAAB"}));

// A wrap of the tick counter during the wait changes nothing.
TEST(SendAndWaitClock, TimeOutAcrossTickWrap) {
    FakePort port(0xFFFFFF00u);
    pellin::Engine engine(port.Transport(), port.Clock(), Inline());
    port.open = true;
    engine.PutFrame(pellin::kEndFrame);
    EXPECT_EQ(engine.SendAndWait(2), pellin::kTimeOut);
    EXPECT_EQ(port.nowMs.load(), 2000u);
}

// --- frames and lines -----------------------------------------------------------------------

struct FrameCase {
    uint8_t type;
    std::vector<uint8_t> data;
    const char* text;
};

class Frames : public Protocol, public ::testing::WithParamInterface<FrameCase> {};

// Built control frames carry the type, data and checksum the device expects.
TEST_P(Frames, BuildsControlFrame) {
    const FrameCase& c = GetParam();
    engine.BuildFrame(c.type, c.data.data(), static_cast<uint8_t>(c.data.size()));
    EXPECT_STREQ(engine.State().line, c.text);
}

INSTANTIATE_TEST_SUITE_P(Controls, Frames,
                         ::testing::Values(FrameCase{0x01, {0, 0}, "=020000010000FD\n"},
                                           FrameCase{0x02, {0, 0}, "=020000020000FC\n"},
                                           FrameCase{0x01, {1, 7}, "=020000010107F5\n"},
                                           FrameCase{0x00, {}, "=0000000000\n"},
                                           FrameCase{0xAA, {}, "=000000AA56\n"},
                                           FrameCase{0x99, {}, "=0000009967\n"}));

struct LineCase {
    const char* scenario;
    std::string file;
    std::vector<std::string> lines; // "" marks the end of the file, "!" a too-long line
};

class ReadLine : public ::testing::TestWithParam<LineCase> {};

// Lines keep the text before the first character of code 32 or less, then LF.
TEST_P(ReadLine, TrimsAndEnds) {
    const LineCase& c = GetParam();
    kaprin::test::TempDir dir;
    pellin::ImageFile file;
    ASSERT_TRUE(file.Open(dir.Write("image.pln", c.file).c_str()));
    char line[pellin::kLineBufferSize];
    for (const std::string& expected : c.lines) {
        const auto read = file.ReadLine(line);
        if (expected.empty()) {
            EXPECT_EQ(read, pellin::ImageFile::Read::End) << c.scenario;
        } else if (expected == "!") {
            EXPECT_EQ(read, pellin::ImageFile::Read::TooLong) << c.scenario;
        } else {
            ASSERT_EQ(read, pellin::ImageFile::Read::Line) << c.scenario;
            EXPECT_EQ(std::string(line), expected) << c.scenario;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadLine,
    ::testing::Values(
        LineCase{"cr lf", ":0011\r\n=00\r\n", {":0011\n", "=00\n", ""}},
        LineCase{"lf alone", ":0011\n", {":0011\n", ""}},
        LineCase{"blank inside", ":00 11\r\n", {":00\n", ""}},
        LineCase{"leading blank", " :0011\r\n", {"\n", ""}},
        LineCase{"control character",
                 ":00\x01"
                 "11\n",
                 {":00\n", ""}},
        LineCase{"last line without lf", ":0011\r\n:0022", {":0011\n", ""}},
        LineCase{"80 characters", std::string(80, 'A') + "\r\n", {std::string(80, 'A') + "\n", ""}},
        LineCase{"81 characters", std::string(81, 'A') + "\r\n", {"!"}},
        LineCase{"81 after a blank", "A " + std::string(79, 'B') + "\n", {"!"}}));

// --- the whole job --------------------------------------------------------------------------

// A converter's eight-block file: per block its two header lines as read, its data lines and
// one end frame; the closing line of a block is never sent itself.
TEST_F(Protocol, EightBlockFileSendsEveryBlockOnce) {
    port.device = FakePort::AckEverything();
    testsupport::PlnLayout layout;
    layout.linesPerBank = 3;
    engine.BotLoad(dir.Write("eight.pln", testsupport::MakePlnImage(layout)).c_str());

    std::vector<std::string> expected;
    for (int bank = 0; bank < 8; ++bank) {
        const auto block = BlockFrames(bank, 3);
        expected.insert(expected.end(), block.begin(), block.end());
    }
    EXPECT_EQ(JobFrames(), expected);
    EXPECT_EQ(engine.getError(), 0);
    EXPECT_EQ(engine.getBlock(), 8);
    EXPECT_EQ(engine.getPercent(), 100);
    EXPECT_EQ(engine.getPercent(), 0);
    EXPECT_EQ(port.calls.front(), "OpenPort");
    EXPECT_EQ(port.calls.back(), "ClosePort");
    EXPECT_FALSE(engine.Busy());
}

struct DataOnlyCase {
    int32_t font;
    const char* announce;
    const char* prepare;
    int32_t blocks;
};

class DataOnly : public Protocol, public ::testing::WithParamInterface<DataOnlyCase> {};

// A file of data lines alone is one block; the library builds its headers, and the empty
// passes after it still count.
TEST_P(DataOnly, BuildsHeadersAndCountsEmptyPasses) {
    const DataOnlyCase& c = GetParam();
    port.device = FakePort::AckEverything();
    const std::string a = DataRecord(0x0000, {1, 2, 3, 4});
    const std::string b = DataRecord(0x0004, {5, 6, 7, 8});
    const std::string path = dir.Write("data.pln", a + "\r\n" + b + "\n");
    if (c.font != 0)
        engine.FontLoad(path.c_str());
    else
        engine.BotLoad(path.c_str());
    EXPECT_EQ(JobFrames(), (std::vector<std::string>{c.announce, c.prepare, a + "\n", b + "\n",
                                                     pellin::kEndFrame}));
    EXPECT_EQ(engine.getBlock(), c.blocks);
    EXPECT_EQ(engine.getError(), 0);
    EXPECT_EQ(engine.getPercent(), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, DataOnly,
    ::testing::Values(DataOnlyCase{0, "=020000010000FD\n", "=020000020000FC\n", 8},
                      DataOnlyCase{1, "=020000010100FC\n", "=020000020100FB\n", 2}));

// A block that starts with an empty line gets generated headers and an end frame at once.
TEST_F(Protocol, BlockStartingWithEmptyLine) {
    port.device = FakePort::AckEverything();
    testsupport::PlnLayout layout;
    layout.banks = 1;
    layout.linesPerBank = 2;
    engine.BotLoad(dir.Write("gap.pln", "\r\n" + testsupport::MakePlnImage(layout)).c_str());

    std::vector<std::string> expected{"=020000010000FD\n", "=020000020000FC\n", pellin::kEndFrame};
    const auto block = BlockFrames(0, 2);
    expected.insert(expected.end(), block.begin(), block.end());
    EXPECT_EQ(JobFrames(), expected);
    EXPECT_EQ(engine.getBlock(), 8);
}

// A font job on an eight-block file sends only the first two blocks.
TEST_F(Protocol, FontJobSendsTwoBlocks) {
    port.device = FakePort::AckEverything();
    testsupport::PlnLayout layout;
    layout.linesPerBank = 1;
    engine.FontLoad(dir.Write("eight.pln", testsupport::MakePlnImage(layout)).c_str());
    auto expected = BlockFrames(0, 1);
    const auto second = BlockFrames(1, 1);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(JobFrames(), expected);
    EXPECT_EQ(engine.getBlock(), 2);
    EXPECT_EQ(engine.getPercent(), 100);
}

struct FailCase {
    const char* scenario;
    std::vector<std::optional<uint8_t>> replies; // after the two sync frames
    int32_t error;
    size_t framesAfterSync;
    bool extraEndFrame;
};

class FailingJob : public Protocol, public ::testing::WithParamInterface<FailCase> {};

// How each failure ends the job: its code, how far it got, and the extra end frame that only a
// time-out sends.
TEST_P(FailingJob, EndsWithItsCode) {
    const FailCase& c = GetParam();
    std::vector<std::optional<uint8_t>> replies{ACK, ACK};
    replies.insert(replies.end(), c.replies.begin(), c.replies.end());
    replies.push_back(NONE); // the extra end frame after a time-out stays unanswered
    port.device = FakePort::FrameReplies(replies);
    engine.BootStart(1);
    engine.BootShutDown(1);
    testsupport::PlnLayout layout;
    layout.linesPerBank = 2;
    engine.BotLoad(dir.Write("image.pln", testsupport::MakePlnImage(layout)).c_str());

    const auto frames = JobFrames();
    EXPECT_EQ(frames.size(), c.framesAfterSync) << c.scenario;
    EXPECT_EQ(!frames.empty() && frames.back() == pellin::kEndFrame, c.extraEndFrame) << c.scenario;
    EXPECT_EQ(engine.getError(), c.error) << c.scenario;
    EXPECT_EQ(port.calls.back(), "ClosePort");
    for (const std::string& f : frames) {
        EXPECT_NE(f, pellin::kStartFrame) << c.scenario;
        EXPECT_NE(f, pellin::kShutDownFrame) << c.scenario;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailingJob,
    ::testing::Values(
        FailCase{"esc on the header", {ESC}, 3, 1, false},
        FailCase{"esc on a data line", {ACK, ACK, ESC}, 3, 3, false},
        FailCase{"five naks on the prepare line", {ACK, NAK, NAK, NAK, NAK, NAK}, 2, 6, false},
        FailCase{"time-out on a data line", {ACK, ACK, NONE}, 1, 4, true},
        FailCase{"time-out on the end frame", {ACK, ACK, ACK, ACK, NONE}, 1, 6, true}));

// Link start: end frames until one is acknowledged (four at most), then exactly one more.
struct SyncCase {
    std::vector<std::optional<uint8_t>> replies;
    size_t syncFrames;
    bool linked;
};

class LinkStart : public Protocol, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(LinkStart, SynchronisesWithEndFrames) {
    const SyncCase& c = GetParam();
    std::vector<std::optional<uint8_t>> replies = c.replies;
    if (!c.linked)
        replies.insert(replies.end(), 8, NONE);
    port.device = FakePort::FrameReplies(replies);
    engine.BotLoad((dir / "missing-dir/none.pln").c_str()); // no file: code 5 when linked
    size_t syncFrames = 0;
    while (syncFrames < port.writes.size() && port.writes[syncFrames] == pellin::kEndFrame)
        ++syncFrames;
    EXPECT_EQ(syncFrames, c.syncFrames);
    EXPECT_EQ(port.writes.size(), c.syncFrames); // nothing after it: the file is missing
    EXPECT_EQ(engine.getError(), c.linked ? 5 : 4);
    EXPECT_EQ(engine.getPercent(), 0);
    EXPECT_EQ(engine.getBlock(), 0);
    EXPECT_EQ(port.calls.back(), "ClosePort");
}

INSTANTIATE_TEST_SUITE_P(Devices, LinkStart,
                         ::testing::Values(SyncCase{{ACK, ACK}, 2, true},
                                           SyncCase{{NONE, ACK, ACK}, 3, true},
                                           SyncCase{{NONE, NONE, NONE, NONE, ACK}, 5, true},
                                           SyncCase{{ACK, NONE}, 2, false},
                                           SyncCase{{}, 5, false}));

// A silent device costs five time-outs of two seconds, then code 4.
TEST_F(Protocol, SilentDeviceFailsLinkStartAfterTenSeconds) {
    engine.BotLoad(dir.Write("a.pln", ":00000001FF\r\n").c_str());
    EXPECT_EQ(port.writes.size(), 5u);
    EXPECT_EQ(port.nowMs.load(), 10000u);
    EXPECT_EQ(engine.getError(), 4);
}

// A port that fails to open ends the job with code 4 and sends nothing.
TEST_F(Protocol, PortFailingToOpen) {
    port.openResult = 3;
    engine.BotLoad(dir.Write("a.pln", ":00000001FF\r\n").c_str());
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(engine.getError(), 4);
    EXPECT_FALSE(engine.Busy());
}

// Fixed buffers: a path that does not fit 260 bytes ends the job with code 5 before the port
// is opened; one that just fits is used.
TEST_F(Protocol, PathBufferIsNeverOverrun) {
    const std::string tooLong(260, 'a');
    engine.BotLoad(tooLong.c_str());
    EXPECT_EQ(engine.getError(), 5);
    EXPECT_TRUE(port.calls.empty());
    EXPECT_FALSE(engine.Busy());

    engine.BotLoad(nullptr);
    EXPECT_EQ(engine.getError(), 5);
    EXPECT_TRUE(port.calls.empty());

    port.device = FakePort::AckEverything();
    const std::string fits = "/" + std::string(258, 'b');
    engine.BotLoad(fits.c_str());
    EXPECT_EQ(port.calls.front(), "OpenPort");
    EXPECT_EQ(engine.getError(), 5); // no such file
}

// An image line over 80 characters ends the job with code 4, after the lines before it.
TEST_F(Protocol, OverlongLineEndsJobWithCode4) {
    port.device = FakePort::AckEverything();
    const std::string good = DataRecord(0, {1, 2});
    engine.BotLoad(dir.Write("long.pln", good + "\r\n:" + std::string(90, '0') + "\r\n").c_str());
    EXPECT_EQ(JobFrames(),
              (std::vector<std::string>{"=020000010000FD\n", "=020000020000FC\n", good + "\n"}));
    EXPECT_EQ(engine.getError(), 4);
}

// A folder given as image cannot be read: code 5, nothing sent after the link start.
TEST_F(Protocol, UnreadableImage) {
    port.device = FakePort::AckEverything();
    engine.BotLoad(dir.path().string().c_str());
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(engine.getError(), 5);
}

// A FIFO is refused without waiting for a writer (one comes after 4 s to end a wait).
TEST(ImageFile, FifoIsRefusedAtOnce) {
    kaprin::test::TempDir dir;
    const std::string fifo = dir.path().string() + "/fifo.pln";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    pellin::ImageFile file;
    auto opened = std::async(std::launch::async, [&] { return file.Open(fifo.c_str()); });
    if (opened.wait_for(std::chrono::seconds(4)) != std::future_status::ready) {
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        ADD_FAILURE() << "opening a FIFO waited";
    }
    EXPECT_FALSE(opened.get());
}

// --- progress -------------------------------------------------------------------------------

struct PercentCase {
    uint64_t position;
    uint64_t length;
    int32_t percent;
};

class Percent : public ::testing::TestWithParam<PercentCase> {};

// Percent is computed in 64 bits and stays below 100 while the job runs.
TEST_P(Percent, OfTheFile) {
    const PercentCase& c = GetParam();
    EXPECT_EQ(pellin::ProgressPercent(c.position, c.length), c.percent);
}

INSTANTIATE_TEST_SUITE_P(Positions, Percent,
                         ::testing::Values(PercentCase{0, 100, 0}, PercentCase{50, 100, 50},
                                           PercentCase{99, 100, 99}, PercentCase{100, 100, 99},
                                           PercentCase{0, 0, 0},
                                           PercentCase{50000000, 100000000, 50},
                                           PercentCase{3000000000ull, 4000000000ull, 75}));

// Percent moves only after an acknowledged data line, never backwards, and a good job ends at
// exactly 100 even when empty blocks fill its last part.
TEST_F(Protocol, PercentFollowsAcknowledgedLines) {
    port.device = FakePort::AckEverything();
    std::vector<int32_t> seen;
    port.onWrite = [&] { seen.push_back(engine.State().percent.load()); };
    testsupport::PlnLayout layout;
    layout.banks = 1;
    layout.linesPerBank = 4;
    std::string image = testsupport::MakePlnImage(layout);
    for (int bank = 1; bank < 8; ++bank) {
        image += ControlRecord(0x01, {0, static_cast<unsigned char>(bank)}) + "\r\n" +
                 ControlRecord(0x02, {0, static_cast<unsigned char>(bank)}) + "\r\n" +
                 "=0000000000\r\n";
    }
    engine.BotLoad(dir.Write("small.pln", image).c_str());

    // Writes: 2 sync, announce, prepare, 4 data lines, end, then 7 x 3 frames.
    ASSERT_EQ(seen.size(), 2u + 2u + 4u + 1u + 21u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(seen[i], 0) << "write " << i;
    for (size_t i = 5; i < seen.size(); ++i)
        EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_LT(seen.back(), 99);
    EXPECT_EQ(engine.getPercent(), 100);
}

// A failed job ends at its last value plus one, with the code already published.
TEST_F(Protocol, FailedJobEndsAtLastPercentPlusOne) {
    port.device = FakePort::FrameReplies({ACK, ACK, ACK, ACK, ACK, NONE, NONE});
    testsupport::PlnLayout layout;
    layout.banks = 1;
    layout.linesPerBank = 4;
    engine.BotLoad(dir.Write("a.pln", testsupport::MakePlnImage(layout)).c_str());
    // First data line acknowledged, second timed out.
    pellin::ImageFile file;
    ASSERT_TRUE(file.Open((dir.path().string() + "/a.pln").c_str()));
    char line[pellin::kLineBufferSize];
    for (int i = 0; i < 3; ++i)
        file.ReadLine(line);
    const int32_t afterFirst = pellin::ProgressPercent(file.Position(), file.Length());
    EXPECT_EQ(engine.getError(), 1);
    EXPECT_EQ(engine.getPercent(), afterFirst + 1);
}

// --- after the transfer ---------------------------------------------------------------------

struct TailCase {
    uint8_t shutDown;
    uint8_t start;
    std::vector<std::string> tail;
};

class AfterTransfer : public Protocol, public ::testing::WithParamInterface<TailCase> {};

// The shut-down frame, then the start frame, each only when its flag is on.
TEST_P(AfterTransfer, SendsRequestedFrames) {
    const TailCase& c = GetParam();
    port.device = FakePort::AckEverything();
    engine.BootShutDown(c.shutDown);
    engine.BootStart(c.start);
    engine.BotLoad(dir.Write("a.pln", DataRecord(0, {1}) + "\r\n").c_str());
    const auto frames = JobFrames();
    ASSERT_GE(frames.size(), 4u + c.tail.size());
    EXPECT_EQ(std::vector<std::string>(frames.begin() + 4, frames.end()), c.tail);
    EXPECT_EQ(engine.getError(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, AfterTransfer,
    ::testing::Values(TailCase{0, 0, {}}, TailCase{1, 0, {pellin::kShutDownFrame}},
                      TailCase{0, 0xFF, {pellin::kStartFrame}},
                      TailCase{1, 1, {pellin::kShutDownFrame, pellin::kStartFrame}}));

// The frames after the transfer follow its own status, not the published code, which the
// caller may clear meanwhile.
TEST_F(Protocol, AfterTransferFramesIgnoreTheirAnswers) {
    // Sync, announce, prepare, data, end acknowledged; shut-down silent; start still sent.
    port.device = FakePort::FrameReplies({ACK, ACK, ACK, ACK, ACK, ACK, NONE, ESC});
    engine.BootShutDown(1);
    engine.BootStart(1);
    engine.BotLoad(dir.Write("a.pln", DataRecord(0, {1}) + "\r\n").c_str());
    const auto frames = JobFrames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[4], pellin::kShutDownFrame);
    EXPECT_EQ(frames[5], pellin::kStartFrame);
    EXPECT_EQ(engine.getError(), 0);
    EXPECT_EQ(port.nowMs.load() - port.writeTimes[7], 1u); // the start frame's ESC came at once
}

} // namespace
