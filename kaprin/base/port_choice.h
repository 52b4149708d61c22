// The port a download uses, as one small value: its COM number (and a device path that
// stands in for that number's map entry for this run only) and its rate. Every "COM<n>"
// text of the model is built here; reading one is the serial component's RS232_ComNumber
// (comm::ParseComName).
#pragma once

#include <cstdint>
#include <string>

namespace kaprin {

inline std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

struct PortChoice {
    int number = 1;        // COM1 to COM20
    std::string path;      // "" or the device for `number`, not stored
    std::int32_t baud = 0; // 0 until start-up has chosen one

    int index() const { return number - 1; } // the download library's port position
};

} // namespace kaprin
