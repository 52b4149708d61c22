// The download library as a front end binds it, plus one thing: when a probe finds that
// the port cannot be used (CheckZ answers -1), the serial component is asked why, and a
// port that is missing, busy, forbidden or not a terminal is reported once per failure
// through `onProblem`. The library's own results pass through unchanged.
#pragma once

#include "kaprin/core/ports.h"
#include "kaprin/prefs/serial_devices.h"

#include <functional>

namespace kaprin {

class PortCheckingPellin : public PellinApi {
public:
    PortCheckingPellin(PellinApi& inner, SerialPorts* serial) : inner_(inner), serial_(serial) {}

    std::function<void(const PortState&)> onProblem;

    void BotLoad(const std::string& path) override { inner_.BotLoad(path); }
    void FontLoad(const std::string& path) override { inner_.FontLoad(path); }
    std::int32_t getPercent() override { return inner_.getPercent(); }
    std::int32_t getBlock() override { return inner_.getBlock(); }
    std::int32_t getError() override { return inner_.getError(); }
    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override {
        portIndex_ = portIndex;
        return inner_.usePort(portIndex, baudRate);
    }
    void PowerOn(bool on) override { inner_.PowerOn(on); }
    void BootOn(bool on) override { inner_.BootOn(on); }
    void BootStart(bool on) override { inner_.BootStart(on); }
    void BootShutDown(bool on) override { inner_.BootShutDown(on); }
    std::int32_t CheckZ() override { return Checked(inner_.CheckZ()); }
    std::int32_t CheckDevice() override { return Checked(inner_.CheckDevice()); }

private:
    std::int32_t Checked(std::int32_t result);

    PellinApi& inner_;
    SerialPorts* serial_;
    std::int32_t portIndex_ = 0;
};

} // namespace kaprin
