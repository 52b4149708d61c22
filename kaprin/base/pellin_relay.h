// The download library passed through unchanged: a base for the objects that watch or
// adjust a few of its calls and hand the rest on.
#pragma once

#include "kaprin/base/ports.h"

namespace kaprin {

class PellinRelay : public PellinApi {
public:
    explicit PellinRelay(PellinApi& inner) : inner_(inner) {}

    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override {
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
};

} // namespace kaprin
