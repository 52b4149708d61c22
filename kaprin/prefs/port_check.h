// The download library as a front end binds it, plus one thing: when a probe finds that
// the port cannot be used (CheckZ answers -1), the serial component is asked why, and a
// port that is missing, busy, forbidden or not a terminal is reported once per failure
// through `onProblem`. A transfer that timed out on a device that is now gone (a pulled
// adapter) is reported as removed the same way. The library's own results pass through
// unchanged.
#pragma once

#include "kaprin/base/port_memo.h"
#include "kaprin/prefs/serial_devices.h"

#include <functional>

namespace kaprin {

class PortCheckingPellin : public PortMemo {
public:
    PortCheckingPellin(PellinApi& inner, SerialPorts* serial) : PortMemo(inner), serial_(serial) {}

    std::function<void(const PortState&)> onProblem;

    std::int32_t CheckZ() override { return Checked(PortMemo::CheckZ()); }
    std::int32_t CheckDevice() override { return Checked(PortMemo::CheckDevice()); }
    std::int32_t getError() override;

private:
    std::int32_t Checked(std::int32_t result);

    SerialPorts* serial_;
};

} // namespace kaprin
