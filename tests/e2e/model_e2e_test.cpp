// The main window's model driven as the front end drives it, with the real libPellin.so
// and libKALDUN.so, into scanner-sim on a pseudo-terminal.
#include "fakes.h"
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/core/library_binding.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>

namespace kaprin {
namespace {

using namespace std::chrono_literals;
using SteadyTime = std::chrono::steady_clock;

class SteadyClock : public Clock {
public:
    std::uint32_t TickCount() override {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              SteadyTime::now().time_since_epoch())
                                              .count());
    }
};

// The front end's side of a pump: wait up to the bound, tick the lamp chaser on time, and
// let the scripted person act. A run that takes too long fails the test instead of
// hanging it.
class RealTimeWindows : public test::FakeWindows {
public:
    explicit RealTimeWindows(test::FakeClock& unused) : FakeWindows(unused) {}
    FrmMain* main = nullptr;
    SteadyTime::time_point deadline = SteadyTime::now() + 60s;
    int chaserTicks = 0;

    void DoEvents(int maxWaitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
        const auto now = SteadyTime::now();
        if (main && main->t1.enabled && now - lastChaser_ >= 100ms) {
            lastChaser_ = now;
            main->t1_Timer();
            ++chaserTicks;
        }
        if (now > deadline)
            throw std::runtime_error("the run did not end in time");
        FakeWindows::DoEvents(maxWaitMs);
    }

private:
    SteadyTime::time_point lastChaser_{};
};

// Counts what the model asks of the real library, and passes everything on.
class CountingPellin : public PellinApi {
public:
    explicit CountingPellin(PellinApi& real) : real_(real) {}
    int loads = 0;
    std::string checkDeviceAnswers; // '1' or '0' per presence probe

    void BotLoad(const std::string& path) override {
        ++loads;
        real_.BotLoad(path);
    }
    void FontLoad(const std::string& path) override {
        ++loads;
        real_.FontLoad(path);
    }
    std::int32_t getPercent() override { return real_.getPercent(); }
    std::int32_t getBlock() override { return real_.getBlock(); }
    std::int32_t getError() override { return real_.getError(); }
    std::int32_t usePort(std::int32_t port, std::int32_t baud) override {
        return real_.usePort(port, baud);
    }
    void PowerOn(bool on) override { real_.PowerOn(on); }
    void BootOn(bool on) override { real_.BootOn(on); }
    void BootStart(bool on) override { real_.BootStart(on); }
    void BootShutDown(bool on) override { real_.BootShutDown(on); }
    std::int32_t CheckZ() override { return real_.CheckZ(); }
    std::int32_t CheckDevice() override {
        const std::int32_t present = real_.CheckDevice();
        checkDeviceAnswers += present != 0 ? '1' : '0';
        return present;
    }

private:
    PellinApi& real_;
};

// CPU time of the whole process (this thread and the library's worker), in ms.
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The program's folder: the libraries and the language folder lie beside this test.
std::string ProgramDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// One Intel HEX data record.
std::string HexRecord(unsigned address, const std::vector<unsigned char>& bytes) {
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(bytes.size()), address);
    std::string line = text;
    for (unsigned char b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text + "\r\n";
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class ModelEndToEnd : public ::testing::Test {
protected:
    test::FakeClock unusedClock;
    SteadyClock clock;
    test::MemoryStore store;
    RealTimeWindows windows{unusedClock};
    PellinLibrary library{windows, ProgramDir()};
    CountingPellin pellin{library};
    KaldunLibrary kaldun{windows, ProgramDir()};
    test::TempDir dir;
    testsupport::ScannerSimProcess sim;
    std::string simLog;
    std::unique_ptr<FrmMain> main;

    void SetUp() override {
        SKIP_WITHOUT_PSEUDO_TERMINAL();
        simLog = dir / "sim.log";
        std::vector<std::string> options{"--log", simLog};
        options.insert(options.end(), SimOptions().begin(), SimOptions().end());
        std::string error;
        ASSERT_TRUE(sim.Start(options, error)) << error;
        // Port index 0 (nothing stored) is COM1.
        testsupport::MapComPort(1, sim.SlavePath());
    }

    virtual const std::vector<std::string>& SimOptions() const {
        static const std::vector<std::string> none;
        return none;
    }

    // The front end's part: pumps and the run's ticks while the run is busy.
    void Drive() {
        while (main->run.Busy()) {
            windows.DoEvents(kPollWaitMs);
            if (main->run.tick.enabled)
                main->tRun_Timer();
        }
    }
    // One tick of t2 and the step it starts.
    void AutoStep() {
        std::this_thread::sleep_for(20ms);
        main->t2_Timer();
        Drive();
    }

    void Start(const std::string& commandLine) {
        main = std::make_unique<FrmMain>(Ports{windows, clock, store, pellin, kaldun}, ProgramDir(),
                                         commandLine);
        windows.main = main.get();
        main->Form_Load();
        main->Form_Activate();
    }

    std::string StoppedLog() {
        sim.Stop();
        return kaprin::test::ReadTextFile(simLog);
    }
};

// A line paced at 115200 baud, so that a transfer takes as long as on a real port.
class PacedLine : public ModelEndToEnd {
protected:
    const std::vector<std::string>& SimOptions() const override {
        static const std::vector<std::string> paced{"--baud", "115200"};
        return paced;
    }
};

// A manual run of a HEX image: asked, converted, asked again, then sent.
TEST_F(PacedLine, ManualRunOfAHexImage) {
    // 4 KB of data in page 0: 256 records, about a second on the line.
    std::string hex;
    for (unsigned address = 0; address < 0x1000; address += 16) {
        std::vector<unsigned char> bytes;
        for (unsigned i = 0; i < 16; ++i)
            bytes.push_back(static_cast<unsigned char>(address + i * 7));
        hex += HexRecord(address, bytes);
    }
    hex += ":00000001FF\r\n";
    const std::string image = dir.Write("FW.HEX", hex);
    const std::string converted = dir / "FW.PLN";

    Start("");
    main->SetSFile(image);
    windows.yesNoAnswers = {true, true}; // convert, then transfer
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = SteadyTime::now();
    main->cmdStart_Click();
    Drive();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs =
        std::chrono::duration<double, std::milli>(SteadyTime::now() - wallBefore).count();
    std::cout << "manual run at 115200 baud: " << cpuMs << " ms of CPU in " << wallMs << " ms ("
              << 100.0 * cpuMs / wallMs << " % of one core)\n";
    RecordProperty("cpu_percent", std::to_string(100.0 * cpuMs / wallMs));

    EXPECT_EQ(windows.questions,
              (std::vector<std::string>{main->LangText(1302), main->LangText(1304)}));
    EXPECT_TRUE(std::filesystem::is_regular_file(converted));
    EXPECT_EQ(main->LoadFile, converted);
    EXPECT_EQ(main->SB1.panel1, main->LangText(1319));
    EXPECT_EQ(main->SB1.panel2, "");
    EXPECT_TRUE(main->cmdStart.enabled);
    EXPECT_EQ(main->Shape1[0].colour, kChaserPassed);
    EXPECT_GT(windows.chaserTicks, 0);
    EXPECT_EQ(store.ReadSetting("RecentFile", "File1"), image);
    EXPECT_EQ(main->List1.items.size(), 3u); // the file times of the image
    const std::string log = StoppedLog();
    EXPECT_EQ(Count(log, "download 1 complete"), 1u) << log;
    EXPECT_EQ(Count(log, "download 2 complete"), 0u) << log;
}

// "-C": the automatic mode starts at the first activation, downloads into the device,
// asks the front end to close after that first success, and the close saves the options.
TEST_F(ModelEndToEnd, AutomaticRunClosesAfterTheFirstSuccess) {
    testsupport::PlnLayout layout;
    layout.linesPerBank = 6;
    const std::string image = dir.Write("AUTO.PLN", testsupport::MakePlnImage(layout));

    Start("-C -F=" + image);
    ASSERT_TRUE(main->mnuAutoQuenlar.checked);
    ASSERT_EQ(main->txtSFile.text, image);
    // The front end: t2 ticks every 20 ms while it is armed, until the close request.
    while (main->t2.enabled && !windows.closeRequested)
        AutoStep();
    ASSERT_TRUE(windows.closeRequested);
    main->Form_QueryUnload();

    EXPECT_EQ(main->SB1.panel1, main->LangText(1319));
    EXPECT_EQ(main->AutoFailCount, 0);
    EXPECT_TRUE(windows.messages.empty());
    EXPECT_TRUE(windows.questions.empty());
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_EQ(store.Keys("Setup").size(), 7u);
    EXPECT_EQ(store.ReadSetting("RecentFile", "File1"), "");
    const std::string log = StoppedLog();
    EXPECT_EQ(Count(log, "download 1 complete"), 1u) << log;
    EXPECT_EQ(Count(log, "download 2 complete"), 0u) << log;
    // Every automatic download ends with the shut-down frame.
    EXPECT_EQ(Count(log, "\"=000000AA56\" ACK"), 1u) << log;
}

// A simulator whose device is taken away for a while after each download and then
// plugged in again.
class DeviceChanges : public ModelEndToEnd {
protected:
    const std::vector<std::string>& SimOptions() const override {
        static const std::vector<std::string> away{"--away", "1500"};
        return away;
    }
};

// "-A": a device is downloaded once, the step waits until it is gone, and the next
// device gets the file again; the menu switches the mode off.
TEST_F(DeviceChanges, AutomaticModeWaitsForTheNextDevice) {
    testsupport::PlnLayout layout;
    layout.linesPerBank = 3;
    const std::string image = dir.Write("NEXT.PLN", testsupport::MakePlnImage(layout));

    Start("-A -F=" + image);
    ASSERT_TRUE(main->mnuAutoQuenlar.checked);
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = SteadyTime::now();
    while (main->t2.enabled && pellin.loads < 2)
        AutoStep();
    // Switched off from the menu while it looks for the next device.
    windows.At(windows.pumps + 1, [&] { main->mnuAutoQuenlar_Click(); });
    while (main->t2.enabled)
        AutoStep();
    // What the waits cost: most of this time is spent probing for a device.
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs =
        std::chrono::duration<double, std::milli>(SteadyTime::now() - wallBefore).count();
    std::cout << "automatic mode, two devices: " << cpuMs << " ms of CPU in " << wallMs << " ms ("
              << 100.0 * cpuMs / wallMs << " % of one core)\n";
    RecordProperty("cpu_percent", std::to_string(100.0 * cpuMs / wallMs));
    EXPECT_EQ(pellin.loads, 2);
    EXPECT_FALSE(main->mnuAutoQuenlar.checked);
    EXPECT_TRUE(main->cmdStart.visible);
    EXPECT_FALSE(windows.closeRequested);
    EXPECT_EQ(main->AutoFailCount, 0);
    // Present, gone in three checks in a row (the first device was taken away), present
    // again.
    EXPECT_EQ(pellin.checkDeviceAnswers.substr(0, 5), "10001") << pellin.checkDeviceAnswers;
    const std::string log = StoppedLog();
    EXPECT_EQ(Count(log, "download 2 complete"), 1u) << log;
    EXPECT_EQ(Count(log, "download 3 complete"), 0u) << log;
}

} // namespace
} // namespace kaprin
