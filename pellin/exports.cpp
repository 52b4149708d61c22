// The C exports: one process-wide engine over the serial component and the system clock.
#include "pellin/pellin.h"

#include "engine.h"
#include "rs232/rs232.h"
#include "system_clock.h"

namespace {

// The serial component keeps its one port itself; the context is not needed.
pellin::Transport SerialComponent() {
    pellin::Transport serial;
    serial.portInit = [](void*, const char* name, int32_t baud, int32_t parity, int32_t bits,
                         int32_t stop) { return ::PortInit(name, baud, parity, bits, stop); };
    serial.openPort = [](void*) { return ::OpenPort(); };
    serial.closePort = [](void*) { ::ClosePort(); };
    serial.writePort = [](void*, const char* data, int32_t count) { ::WritePort(data, count); };
    serial.readPort = [](void*, uint8_t* byte) { return ::ReadPort(byte); };
    serial.setDTR = [](void*) { ::SetDTR(); };
    serial.clrDTR = [](void*) { ::ClrDTR(); };
    serial.setRTS = [](void*) { ::SetRTS(); };
    serial.clrRTS = [](void*) { ::ClrRTS(); };
    serial.waitPort = [](void*, int32_t ms) { return ::WaitPort(ms); };
    return serial;
}

pellin::Engine& Library() {
    // Never destroyed: a worker nobody joins may still be running when the process exits.
    static pellin::Engine* engine = new pellin::Engine(SerialComponent(), pellin::SystemClock());
    return *engine;
}

// Built when the library is loaded, so that the first calls from two threads find it made.
[[maybe_unused]] const bool loaded = (Library(), true);

} // namespace

extern "C" {

PELLIN_API void BotLoad(const char* path) {
    Library().BotLoad(path);
}
PELLIN_API void FontLoad(const char* path) {
    Library().FontLoad(path);
}
PELLIN_API int32_t getPercent(void) {
    return Library().getPercent();
}
PELLIN_API int32_t getBlock(void) {
    return Library().getBlock();
}
PELLIN_API int32_t getError(void) {
    return Library().getError();
}
PELLIN_API int32_t usePort(int32_t index, int32_t baud) {
    return Library().usePort(index, baud);
}
PELLIN_API void PowerOn(uint8_t flag) {
    Library().PowerOn(flag);
}
PELLIN_API void BootOn(uint8_t flag) {
    Library().BootOn(flag);
}
PELLIN_API void BootStart(uint8_t flag) {
    Library().BootStart(flag);
}
PELLIN_API void BootShutDown(uint8_t flag) {
    Library().BootShutDown(flag);
}
PELLIN_API void TESTFUNC(uint8_t selector) {
    Library().TESTFUNC(selector);
}
PELLIN_API int32_t CheckDevice(void) {
    return Library().CheckDevice();
}
PELLIN_API int32_t CheckZ(void) {
    return Library().CheckZ();
}

} // extern "C"
