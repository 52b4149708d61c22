// The C interface: one process-wide port behind the component's operations.
#include "rs232/rs232.h"

#include "port_name.h"
#include "port_probe.h"
#include "serial_port.h"

#include <cstring>
#include <sys/ioctl.h>

namespace {

// Never destroyed: a download worker nobody joins may still use it while the process exits.
rs232::SerialPort& port = *new rs232::SerialPort;

} // namespace

extern "C" {

RS232_API int32_t PortInit(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                           int32_t stopBits) {
    return port.Init(name, baud, parity, dataBits, stopBits);
}

RS232_API int32_t OpenPort(void) {
    return port.Open();
}

RS232_API void ClosePort(void) {
    port.Close();
}

RS232_API void WritePort(const char* data, int32_t count) {
    port.Write(data, count);
}

RS232_API int32_t ReadPort(uint8_t* byte) {
    return port.Read(byte);
}

RS232_API void SetDTR(void) {
    port.ModemLine(TIOCM_DTR, true);
}
RS232_API void ClrDTR(void) {
    port.ModemLine(TIOCM_DTR, false);
}
RS232_API void SetRTS(void) {
    port.ModemLine(TIOCM_RTS, true);
}
RS232_API void ClrRTS(void) {
    port.ModemLine(TIOCM_RTS, false);
}

RS232_API int32_t WaitPort(int32_t ms) {
    return port.Wait(ms);
}

RS232_API int32_t SetPortMap(const char* const* paths, int32_t count) {
    if (count < 0 || (count > 0 && paths == nullptr))
        return RS232_ERR_ARGUMENT;
    std::vector<std::string> devices;
    int32_t result = RS232_OK;
    for (int32_t i = 0; i < count && i < rs232::kMappedPorts; ++i) {
        const char* path = paths[i] != nullptr ? paths[i] : "";
        // One bad entry costs its own number only, and that number opens nothing rather
        // than the default device, which may be another real port.
        if (std::strlen(path) > 255) {
            devices.push_back(rs232::kNoDevice);
            result = RS232_ERR_ARGUMENT;
            continue;
        }
        devices.emplace_back(path);
    }
    rs232::SetDeviceMap(std::move(devices));
    return result;
}

RS232_API int32_t MapPortName(const char* name, char* buf, int32_t size) {
    if (name == nullptr || buf == nullptr || size <= 0)
        return RS232_ERR_ARGUMENT;
    const std::string path = rs232::MapName(name).path;
    if (path.empty() || path.size() >= static_cast<size_t>(size))
        return RS232_ERR_ARGUMENT;
    std::memcpy(buf, path.c_str(), path.size() + 1);
    return RS232_OK;
}

RS232_API int32_t MapPortSource(const char* name) {
    return name == nullptr ? RS232_SOURCE_NONE : rs232::MapName(name).source;
}

RS232_API int32_t ProbePort(const char* name, int32_t baud, RS232_PortState* out) {
    if (name == nullptr || out == nullptr)
        return -1;
    rs232::ProbeDevice(rs232::MapName(name).path, baud, *out);
    return out->state;
}

} // extern "C"
