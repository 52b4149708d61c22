// One serial port: its configuration, the open device and a small read buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace rs232 {

class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort() { Close(); }

    // Results are the RS232_ codes of the C interface.
    int32_t Init(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                 int32_t stopBits);
    int32_t Open();
    void Close();
    void Write(const char* data, int32_t count);
    int32_t Read(uint8_t* byte);
    void ModemLine(int line, bool on);
    int32_t Wait(int32_t ms);

private:
    struct Config {
        std::string name;
        int32_t baud = 0;
        int32_t parity = 0;
        int32_t dataBits = 8;
        int32_t stopBits = 0;
        bool valid = false;
    };
    bool ConfigureLine(const Config& cfg);

    // Init may come from the caller's thread while a worker opens the port.
    std::mutex configMutex_;
    Config config_;

    int fd_ = -1;
    // Bytes read from the driver in one go and handed out one by one by Read.
    uint8_t buffer_[256];
    size_t head_ = 0;
    size_t tail_ = 0;
    // Set once the device has gone (read or write failed for good); the fd stays until close.
    bool gone_ = false;
};

} // namespace rs232
