#include "fakes.h"

#include <algorithm>

namespace kaprin::test {

std::string MemoryStore::ReadSetting(const std::string& section, const std::string& key) {
    auto it = values.find({section, key});
    return it == values.end() ? std::string() : it->second;
}

bool MemoryStore::WriteSetting(const std::string& section, const std::string& key,
                               const std::string& value) {
    if (readOnly)
        return false;
    values[{section, key}] = value;
    writes.push_back(section + "/" + key + "=" + value);
    return true;
}

std::vector<std::string> MemoryStore::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    for (const auto& [where, value] : values) {
        if (where.first == section)
            keys.push_back(where.second);
    }
    return keys;
}

void FakeWindows::Log(std::string entry) {
    if (log_)
        log_->push_back(std::move(entry));
}

void FakeWindows::At(int pump, std::function<void()> action) {
    at_.emplace(pump, std::move(action));
}

void FakeWindows::Every(int fromPump, std::function<bool()> action) {
    every_.emplace_back(fromPump, std::move(action));
}

bool FakeWindows::AskYesNo(const std::string& text) {
    questions.push_back(text);
    bool yes = true;
    if (!yesNoAnswers.empty()) {
        yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
    }
    Log("AskYesNo:" + text + (yes ? "=Yes" : "=No"));
    return yes;
}

void FakeWindows::ShowMessage(const std::string& text, MessageKind kind) {
    messages.push_back(text);
    messageKinds.push_back(kind);
    Log("ShowMessage:" + text);
}

std::optional<std::string> FakeWindows::ChooseOpenFile(const FileDialog& dialog) {
    openDialogs.push_back(dialog);
    std::optional<std::string> answer;
    if (!fileAnswers.empty()) {
        answer = fileAnswers.front();
        fileAnswers.pop_front();
    }
    Log("ChooseOpenFile:" + dialog.filter);
    return answer;
}

std::optional<std::string> FakeWindows::ChooseSaveFile(const FileDialog& dialog) {
    saveDialogs.push_back(dialog);
    std::optional<std::string> answer;
    if (!fileAnswers.empty()) {
        answer = fileAnswers.front();
        fileAnswers.pop_front();
    }
    Log("ChooseSaveFile:" + dialog.filter);
    return answer;
}

void FakeWindows::Beep() {
    ++beeps;
    Log("Beep");
}

void FakeWindows::CloseMainWindow() {
    closeRequested = true;
    Log("CloseMainWindow");
}

void FakeWindows::ShowWindow(WindowId id) {
    shown.push_back(id);
    Log("ShowWindow:" + std::to_string(static_cast<int>(id)));
}

void FakeWindows::ShowModalWindow(WindowId id) {
    shownModal.push_back(id);
    Log("ShowModalWindow:" + std::to_string(static_cast<int>(id)));
    if (onModal)
        onModal(id);
}

void FakeWindows::CloseWindow(WindowId id) {
    closed.push_back(id);
    Log("CloseWindow:" + std::to_string(static_cast<int>(id)));
}

void FakeWindows::OpenHelp(const std::string& path) {
    helpOpened.push_back(path);
    Log("OpenHelp:" + path);
}

void FakeWindows::DoEvents(int maxWaitMs) {
    ++pumps;
    pumpWaits.push_back(maxWaitMs);
    clock_.Advance(static_cast<std::uint32_t>(std::max(maxWaitMs, 1)));
    // Take the due actions out first: an action may pump again.
    auto [first, last] = at_.equal_range(pumps);
    std::vector<std::function<void()>> due;
    for (auto it = first; it != last; ++it)
        due.push_back(std::move(it->second));
    at_.erase(first, last);
    for (auto& action : due)
        action();
    for (auto it = every_.begin(); it != every_.end();) {
        if (pumps >= it->first && it->second())
            it = every_.erase(it);
        else
            ++it;
    }
}

void FakeWindows::Fatal(const std::string& text) {
    Log("Fatal:" + text);
    throw FatalError(text);
}

void FakePellin::Log(std::string entry) {
    if (log_)
        log_->push_back(std::move(entry));
}

namespace {
std::int32_t Next(std::deque<std::int32_t>& queue, std::int32_t& last) {
    if (!queue.empty()) {
        last = queue.front();
        queue.pop_front();
    }
    return last;
}
} // namespace

void FakePellin::BotLoad(const std::string& path) {
    loads.push_back("BotLoad:" + path);
    Log("BotLoad:" + path);
}

void FakePellin::FontLoad(const std::string& path) {
    loads.push_back("FontLoad:" + path);
    Log("FontLoad:" + path);
}

std::int32_t FakePellin::getPercent() {
    return Next(percents, lastPercent);
}
std::int32_t FakePellin::getBlock() {
    return Next(blocks, lastBlock);
}
std::int32_t FakePellin::getError() {
    return Next(errors, lastError);
}

std::int32_t FakePellin::usePort(std::int32_t portIndex, std::int32_t baudRate) {
    usePortCalls.emplace_back(portIndex, baudRate);
    Log("usePort:" + std::to_string(portIndex) + "," + std::to_string(baudRate));
    return usePortResult;
}

void FakePellin::PowerOn(bool on) {
    powerOn = on;
    Log(std::string("PowerOn:") + (on ? "1" : "0"));
}

void FakePellin::BootOn(bool on) {
    bootOn = on;
    Log(std::string("BootOn:") + (on ? "1" : "0"));
}

void FakePellin::BootStart(bool on) {
    bootStart = on;
    Log(std::string("BootStart:") + (on ? "1" : "0"));
}

void FakePellin::BootShutDown(bool on) {
    bootShutDown = on;
    Log(std::string("BootShutDown:") + (on ? "1" : "0"));
}

std::int32_t FakePellin::CheckZ() {
    ++checkZCalls;
    if (onProbe)
        onProbe();
    std::int32_t r = Next(checkZ, lastCheckZ);
    Log("CheckZ=" + std::to_string(r));
    return r;
}

std::int32_t FakePellin::CheckDevice() {
    ++checkDeviceCalls;
    if (onProbe)
        onProbe();
    std::int32_t r = Next(checkDevice, lastCheckDevice);
    Log("CheckDevice=" + std::to_string(r));
    return r;
}

std::int32_t FakeKaldun::KALDUN(const std::string& path) {
    calls.push_back(path);
    if (onConvert)
        onConvert(path);
    std::int32_t r = 0;
    if (!results.empty()) {
        r = results.front();
        results.pop_front();
    }
    if (log_)
        log_->push_back("KALDUN:" + path + "=" + std::to_string(r));
    return r;
}

void FakeSerial::SetPortMap(const comm::PortMap& m) {
    map = m;
    mapsSet.push_back(m);
}

PortMapping FakeSerial::MapPort(int number) {
    const std::string& mapped = map[static_cast<std::size_t>(number - 1)];
    if (mapped.empty())
        return {defaultPrefix + std::to_string(number - 1), PortSource::Default};
    return {mapped, PortSource::Map};
}

PortState FakeSerial::ProbePort(const std::string& name, std::int32_t baud) {
    probed.push_back(name);
    PortState state;
    state.condition = PortCondition::Usable;
    state.device = name;
    if (auto found = probes.find(name); found != probes.end())
        state = found->second;
    state.baud = baud;
    return state;
}

} // namespace kaprin::test
