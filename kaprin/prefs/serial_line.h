// The serial line the model downloads over: the port choice in force, and every call for
// it into the serial component. It stands between the model and the download library
// (usePort remembers the choice; a probe that finds the port unusable asks the serial
// component why, at the rate in force) and between the model and the serial component
// (the port map, with a station's device path for the port in use). A transfer that timed
// out on a device that is now gone (a pulled adapter) is reported as removed. Whoever chose the
// port (start-up, the Communication window, a station's --port and --baud), the choice
// read here is the one the library has.
#pragma once

#include "kaprin/base/port_choice.h"
#include "kaprin/base/ports.h"
#include "kaprin/prefs/serial_devices.h"

#include <functional>
#include <optional>

namespace kaprin {

class SerialLine : public PellinApi, public SerialPorts {
public:
    // `serial` may be null: nothing is mapped, probed or explained.
    SerialLine(PellinApi& pellin, SerialPorts* serial) : pellin_(pellin), serial_(serial) {}

    // Fixes what a station was told for this process: the library is given this number and
    // rate whatever start-up asks, and `path` stands in for the map entry of the port in
    // use. Nothing of it is stored.
    void Pin(std::optional<int> number, std::string path, std::optional<std::int32_t> baud);
    const PortChoice& choice() const { return choice_; }
    // The serial component behind this line, or null.
    SerialPorts* serial() { return serial_ ? this : nullptr; }
    // The port in use cannot be used, and why (once per failed probe or removal).
    std::function<void(const PortState&)> onProblem;

    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override;
    std::int32_t CheckZ() override { return Checked(pellin_.CheckZ()); }
    std::int32_t CheckDevice() override { return Checked(pellin_.CheckDevice()); }
    void BotLoad(const std::string& path) override { pellin_.BotLoad(path); }
    void FontLoad(const std::string& path) override { pellin_.FontLoad(path); }
    std::int32_t getPercent() override { return pellin_.getPercent(); }
    std::int32_t getBlock() override { return pellin_.getBlock(); }
    std::int32_t getError() override;
    void PowerOn(bool on) override { pellin_.PowerOn(on); }
    void BootOn(bool on) override { pellin_.BootOn(on); }
    void BootStart(bool on) override { pellin_.BootStart(on); }
    void BootShutDown(bool on) override { pellin_.BootShutDown(on); }

    void SetPortMap(const comm::PortMap& map) override;
    PortMapping MapPort(int number) override { return serial_->MapPort(number); }
    PortState ProbePort(const std::string& name, std::int32_t baud) override {
        return serial_->ProbePort(name, baud);
    }
    std::vector<SerialDevice> Detect() override { return serial_->Detect(); }
    bool DevicesChanged() override { return serial_ && serial_->DevicesChanged(); }
    int ChangeDescriptor() override { return serial_ ? serial_->ChangeDescriptor() : -1; }

private:
    std::int32_t Checked(std::int32_t result);
    void HandOverMap();

    PellinApi& pellin_;
    SerialPorts* serial_;
    PortChoice choice_;
    std::optional<int> pinnedNumber_;
    std::optional<std::int32_t> pinnedBaud_;
    comm::PortMap map_;
    bool mapGiven_ = false;
    bool numberKnown_ = false;
};

} // namespace kaprin
