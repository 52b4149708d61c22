// Other POSIX systems: the standard rates of <termios.h> only.
#include "speed.h"

#include <termios.h>

namespace {

struct Rate {
    uint32_t baud;
    speed_t code;
};

constexpr Rate kRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

} // namespace

extern "C" int rs232_set_speed(int fd, uint32_t baud) {
    for (const Rate& rate : kRates) {
        if (rate.baud != baud)
            continue;
        termios tio{};
        if (tcgetattr(fd, &tio) != 0 || cfsetispeed(&tio, rate.code) != 0 ||
            cfsetospeed(&tio, rate.code) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
            return -1;
        return 0;
    }
    return -1;
}

extern "C" int rs232_try_speed(int fd, uint32_t baud) {
    termios saved{};
    if (tcgetattr(fd, &saved) != 0)
        return -1;
    const int result = rs232_set_speed(fd, baud);
    (void)tcsetattr(fd, TCSANOW, &saved);
    return result;
}

extern "C" void rs232_set_low_latency(int) {}
