// The getters polled from the caller's thread while a real worker thread runs the job.
#include "engine.h"
#include "fake_port.h"
#include "pln_image.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using pellintest::FakePort;

namespace {

constexpr uint8_t ACK = 0x06;

void WaitIdle(const pellin::Engine& engine) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.Busy() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_FALSE(engine.Busy());
}

// Polling as the utility does: percent, block and error, until 100 or a code. Percent never
// goes backwards, and the end is seen exactly once.
TEST(Concurrency, PollingFollowsAGoodJob) {
    FakePort port;
    port.device = FakePort::AckEverything();
    port.yieldInWaits = true;
    pellin::Engine engine(port.Transport(), port.Clock());
    kaprin::test::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 40;
    const std::string path = dir.Write("image.pln", testsupport::MakePlnImage(layout));

    for (int round = 0; round < 3; ++round) {
        engine.BootShutDown(round % 2 == 0 ? 1 : 0); // flags may change while a worker runs
        engine.BotLoad(path.c_str());
        int32_t last = 0;
        int32_t percent = 0;
        int32_t error = 0;
        while (percent != 100 && error == 0) {
            percent = engine.getPercent();
            const int32_t block = engine.getBlock();
            error = engine.getError();
            ASSERT_GE(percent, last);
            ASSERT_LE(block, 8);
            last = percent;
            engine.BootStart(static_cast<uint8_t>(round));
            std::this_thread::yield();
        }
        EXPECT_EQ(percent, 100);
        EXPECT_EQ(error, 0);
        WaitIdle(engine);
        EXPECT_EQ(engine.getBlock(), 8);
        EXPECT_EQ(engine.getPercent(), 0); // the 100 was taken by the loop
        EXPECT_EQ(engine.getError(), 0);
    }
}

// A failed job whose percent reaches 100 has published its code first: a poll that sees 100
// and then reads the code sees the failure.
TEST(Concurrency, CodeIsPublishedBeforeFinalPercent) {
    kaprin::test::TempDir dir;
    // Data lines to the very end of the file: the running job stands at 99.
    std::string image;
    for (unsigned i = 0; i < 30; ++i)
        image += testsupport::DataRecord(i * 4, {1, 2, 3, 4}) + "\r\n";
    const std::string path = dir.Write("tail.pln", image);

    for (int round = 0; round < 20; ++round) {
        FakePort port;
        // Sync, announce, prepare and 30 lines acknowledged; the end frame is not.
        std::vector<std::optional<uint8_t>> replies(2 + 2 + 30, ACK);
        replies.insert(replies.end(), 2, std::nullopt);
        port.device = FakePort::FrameReplies(replies);
        port.yieldInWaits = true;
        pellin::Engine engine(port.Transport(), port.Clock());
        engine.BotLoad(path.c_str());
        int32_t percent = 0;
        int32_t error = 0;
        while (percent != 100 && error == 0) {
            percent = engine.getPercent();
            error = engine.getError();
            std::this_thread::yield();
        }
        EXPECT_EQ(error, 1) << "round " << round << " ended at percent " << percent;
        WaitIdle(engine);
    }
}

// Two threads starting jobs at once: exactly one worker runs.
TEST(Concurrency, OneWorkerAtATime) {
    FakePort port;
    port.device = FakePort::AckEverything();
    port.yieldInWaits = true;
    std::atomic<int> launched{0};
    pellin::Engine engine(port.Transport(), port.Clock(), [&launched](std::function<void()> job) {
        ++launched;
        return pellin::Engine::DetachedThread()(std::move(job));
    });
    kaprin::test::TempDir dir;
    const std::string path = dir.Write("a.pln", testsupport::DataRecord(0, {1}) + "\r\n");
    std::atomic<bool> go{false};
    std::vector<std::thread> callers;
    std::atomic<int> probesAnswered{0};
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&, i] {
            while (!go.load())
                std::this_thread::yield();
            if (i % 2 == 0)
                engine.BotLoad(path.c_str());
            else if (engine.CheckZ() == 1)
                ++probesAnswered;
        });
    }
    go.store(true);
    for (std::thread& t : callers)
        t.join();
    WaitIdle(engine);
    int opens = 0;
    for (const std::string& call : port.calls)
        opens += call == "OpenPort";
    EXPECT_LE(launched.load(), 2);
    EXPECT_EQ(opens, launched.load() + probesAnswered.load());
}

// Two engines over two fakes run jobs at the same time: each port sees its own job only.
TEST(Concurrency, TwoPortsStayApart) {
    FakePort good;
    FakePort failing;
    good.device = FakePort::AckEverything();
    failing.device = FakePort::FrameReplies({ACK, ACK, 0x1B});
    pellin::Engine first(good.Transport(), good.Clock());
    pellin::Engine second(failing.Transport(), failing.Clock());
    kaprin::test::TempDir dir;
    const std::string path = dir.Write("a.pln", testsupport::DataRecord(0, {1}) + "\r\n");
    first.BotLoad(path.c_str());
    second.BotLoad(path.c_str());
    WaitIdle(first);
    WaitIdle(second);
    EXPECT_EQ(first.getError(), 0);
    EXPECT_EQ(second.getError(), 3);
    EXPECT_EQ(good.writes.size(), 2u + 4u); // sync, headers, the line, end
    EXPECT_EQ(failing.writes.size(), 3u);
}

} // namespace
