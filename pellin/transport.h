// What the protocol code sees of the outside world: the serial component's operations and
// the clock. The library fills these with librs232 and the system clock; the tests fill them
// with a scripted port and a virtual clock. Each table carries a context pointer that is handed
// to every operation, so that a filler needs no global of its own.
#pragma once

#include <cstdint>

namespace pellin {

struct Transport {
    void* context = nullptr;
    int32_t (*portInit)(void* context, const char* name, int32_t baud, int32_t parity,
                        int32_t dataBits, int32_t stopBits) = nullptr;
    int32_t (*openPort)(void* context) = nullptr;
    void (*closePort)(void* context) = nullptr;
    void (*writePort)(void* context, const char* data, int32_t count) = nullptr;
    int32_t (*readPort)(void* context, uint8_t* byte) = nullptr;
    void (*setDTR)(void* context) = nullptr;
    void (*clrDTR)(void* context) = nullptr;
    void (*setRTS)(void* context) = nullptr;
    void (*clrRTS)(void* context) = nullptr;
    // Blocks until a byte can be read or ms pass; returns non-zero when a byte waits.
    int32_t (*waitPort)(void* context, int32_t ms) = nullptr;

    int32_t PortInit(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                     int32_t stopBits) const {
        return portInit(context, name, baud, parity, dataBits, stopBits);
    }
    int32_t OpenPort() const { return openPort(context); }
    void ClosePort() const { closePort(context); }
    void WritePort(const char* data, int32_t count) const { writePort(context, data, count); }
    int32_t ReadPort(uint8_t* byte) const { return readPort(context, byte); }
    void SetDTR() const { setDTR(context); }
    void ClrDTR() const { clrDTR(context); }
    void SetRTS() const { setRTS(context); }
    void ClrRTS() const { clrRTS(context); }
    int32_t WaitPort(int32_t ms) const { return waitPort(context, ms); }
};

struct Clock {
    void* context = nullptr;
    // Milliseconds from an arbitrary origin; wraps, so only differences are used.
    uint32_t (*tick)(void* context) = nullptr;
    // Pauses for ms milliseconds without looking at the port.
    void (*sleep)(void* context, uint32_t ms) = nullptr;

    uint32_t Tick() const { return tick(context); }
    void Sleep(uint32_t ms) const { sleep(context, ms); }
};

} // namespace pellin
