// The download library as the model hands it on: every call passes through unchanged,
// and the port and rate last chosen are remembered for the production record and for
// the front ends' headers, whoever chose them (start-up or the Communication window).
#pragma once

#include "kaprin/base/ports.h"

namespace kaprin {

class PortMemo : public PellinApi {
public:
    explicit PortMemo(PellinApi& inner) : inner_(inner) {}

    std::int32_t portIndex() const { return portIndex_; }
    std::int32_t baudRate() const { return baudRate_; }

    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override {
        portIndex_ = portIndex;
        baudRate_ = baudRate;
        return inner_.usePort(portIndex, baudRate);
    }
    void BotLoad(const std::string& path) override { inner_.BotLoad(path); }
    void FontLoad(const std::string& path) override { inner_.FontLoad(path); }
    std::int32_t getPercent() override { return inner_.getPercent(); }
    std::int32_t getBlock() override { return inner_.getBlock(); }
    std::int32_t getError() override { return inner_.getError(); }
    void PowerOn(bool on) override { inner_.PowerOn(on); }
    void BootOn(bool on) override { inner_.BootOn(on); }
    void BootStart(bool on) override { inner_.BootStart(on); }
    void BootShutDown(bool on) override { inner_.BootShutDown(on); }
    std::int32_t CheckZ() override { return inner_.CheckZ(); }
    std::int32_t CheckDevice() override { return inner_.CheckDevice(); }

private:
    PellinApi& inner_;
    std::int32_t portIndex_ = 0;
    std::int32_t baudRate_ = 0;
};

} // namespace kaprin
