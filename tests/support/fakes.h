// Test doubles of the model's ports. They script what a person and the hardware would
// do (answer a question, click Stop at the third pump, a device that answers late) and
// record what the model asked of them, in one shared call log where order matters.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/prefs/serial_devices.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kaprin::test {

using CallLog = std::vector<std::string>;

class FakeClock : public Clock {
public:
    std::uint32_t now = 1000;
    std::uint32_t TickCount() override { return now; }
    void Advance(std::uint32_t ms) { now += ms; }
};

class MemoryStore : public SettingsStore {
public:
    std::map<std::pair<std::string, std::string>, std::string> values;
    CallLog writes;        // "Section/Key=Value" in the order written
    bool readOnly = false; // every write fails and changes nothing

    std::string ReadSetting(const std::string& section, const std::string& key) override;
    bool WriteSetting(const std::string& section, const std::string& key,
                      const std::string& value) override;
    // The keys of one section that hold a value, in key order.
    std::vector<std::string> Keys(const std::string& section) const;
};

// Thrown by FakeWindows::Fatal so that a test can see the report.
struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class FakeWindows : public WindowServices {
public:
    FakeWindows(FakeClock& clock, CallLog* log = nullptr) : clock_(clock), log_(log) {}

    // Scripted answers; an empty queue answers Yes, and cancels a file dialog.
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> fileAnswers;

    // What the model asked.
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<MessageKind> messageKinds;
    std::vector<FileDialog> openDialogs;
    std::vector<FileDialog> saveDialogs;
    std::vector<WindowId> shown, shownModal, closed;
    std::vector<std::string> helpOpened;
    int beeps = 0;
    bool closeRequested = false;
    int pumps = 0;
    std::vector<int> pumpWaits; // the bound passed to each DoEvents

    // Each DoEvents advances the fake clock by the bound it was given (at least 1 ms),
    // then runs the actions due at that pump number (counted from 1).
    void At(int pump, std::function<void()> action);
    // Runs `action` at every pump from `pump` on until it returns true.
    void Every(int fromPump, std::function<bool()> action);
    // Runs when the model shows a modal window (the window's model exists by then).
    std::function<void(WindowId)> onModal;

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    std::optional<std::string> ChooseOpenFile(const FileDialog& dialog) override;
    std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) override;
    void Beep() override;
    void CloseMainWindow() override;
    void ShowWindow(WindowId id) override;
    void ShowModalWindow(WindowId id) override;
    void CloseWindow(WindowId id) override;
    void OpenHelp(const std::string& path) override;
    // The front end's pump as the tests drive it.
    void DoEvents(int maxWaitMs);
    [[noreturn]] void Fatal(const std::string& text) override;

private:
    void Log(std::string entry);
    FakeClock& clock_;
    CallLog* log_;
    std::multimap<int, std::function<void()>> at_;
    std::vector<std::pair<int, std::function<bool()>>> every_;
};

// The download library: every call is logged; getters and probes answer from their
// queues and repeat their last answer (or the default) when a queue runs dry.
class FakePellin : public PellinApi {
public:
    explicit FakePellin(CallLog* log = nullptr) : log_(log) {}

    std::deque<std::int32_t> percents, blocks, errors, checkZ, checkDevice;
    std::int32_t lastPercent = 0, lastBlock = 0, lastError = 0, lastCheckZ = 0, lastCheckDevice = 0;
    std::int32_t usePortResult = 0;
    bool powerOn = false, bootOn = false, bootStart = false, bootShutDown = false;
    std::vector<std::pair<std::int32_t, std::int32_t>> usePortCalls;
    std::vector<std::string> loads; // "BotLoad:<path>" or "FontLoad:<path>"
    int checkZCalls = 0, checkDeviceCalls = 0;
    // Called at every probe, e.g. to let time pass or to switch a menu item.
    std::function<void()> onProbe;

    void BotLoad(const std::string& path) override;
    void FontLoad(const std::string& path) override;
    std::int32_t getPercent() override;
    std::int32_t getBlock() override;
    std::int32_t getError() override;
    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override;
    void PowerOn(bool on) override;
    void BootOn(bool on) override;
    void BootStart(bool on) override;
    void BootShutDown(bool on) override;
    std::int32_t CheckZ() override;
    std::int32_t CheckDevice() override;

private:
    void Log(std::string entry);
    CallLog* log_;
};

class FakeKaldun : public KaldunApi {
public:
    explicit FakeKaldun(CallLog* log = nullptr) : log_(log) {}
    std::deque<std::int32_t> results; // empty: 0
    std::vector<std::string> calls;
    // Runs before the result is returned, e.g. to write the PLN file.
    std::function<void(const std::string&)> onConvert;
    std::int32_t KALDUN(const std::string& path) override;

private:
    CallLog* log_;
};

// The serial component as a table: COM n maps to its map entry, else /dev/ttyS<n-1>.
class FakeSerial : public SerialPorts {
public:
    comm::PortMap map;
    std::string defaultPrefix = "/dev/ttyS"; // COM n unmapped: defaultPrefix + (n - 1)
    std::vector<comm::PortMap> mapsSet;
    std::map<std::string, PortState> probes; // by name; absent: usable
    std::vector<std::string> probed;
    std::vector<SerialDevice> devices;
    bool changed = false; // DevicesChanged's next answer

    void SetPortMap(const comm::PortMap& m) override;
    PortMapping MapPort(int number) override;
    PortState ProbePort(const std::string& name, std::int32_t baud) override;
    std::vector<SerialDevice> Detect() override { return devices; }
    bool DevicesChanged() override { return std::exchange(changed, false); }
};

// The production record: keeps what it is given; the digest names the file it was taken of.
class FakeRecord : public ProductionRecord {
public:
    std::vector<DownloadRecord> records;
    std::string ImageDigest(const std::string& path) override { return "digest:" + path; }
    void Write(const DownloadRecord& record) override { records.push_back(record); }
    // Non-empty: every image is refused with this text.
    std::string refusal;
    std::string AdmitImage(std::int32_t, const std::string&) override { return refusal; }
};

// All fakes wired together, with the Ports the model takes.
struct FakeWorld {
    CallLog log;
    FakeClock clock;
    MemoryStore store;
    FakeWindows windows{clock, &log};
    FakePellin pellin{&log};
    FakeKaldun kaldun{&log};
    FakeRecord record;
    FakeSerial serial;
    Ports ports() { return Ports{windows, clock, store, pellin, kaldun, &record, &serial}; }
};

} // namespace kaprin::test
