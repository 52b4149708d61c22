// What the protocol code sees of the outside world: the serial component's operations and
// the clock. The library fills these with librs232 and the system clock; the tests fill them
// with a scripted port and a virtual clock.
#pragma once

#include <cstdint>

namespace pellin {

struct Transport {
    int32_t (*PortInit)(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                        int32_t stopBits);
    int32_t (*OpenPort)();
    void (*ClosePort)();
    void (*WritePort)(const char* data, int32_t count);
    int32_t (*ReadPort)(uint8_t* byte);
    void (*SetDTR)();
    void (*ClrDTR)();
    void (*SetRTS)();
    void (*ClrRTS)();
    // Blocks until a byte can be read or ms pass; returns non-zero when a byte waits.
    int32_t (*WaitPort)(int32_t ms);
};

struct Clock {
    // Milliseconds from an arbitrary origin; wraps, so only differences are used.
    uint32_t (*Tick)();
    // Pauses for ms milliseconds without looking at the port.
    void (*Sleep)(uint32_t ms);
};

} // namespace pellin
