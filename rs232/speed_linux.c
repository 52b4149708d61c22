/*
 * Linux: any rate through termios2 and BOTHER.
 *
 * The kernel's termios definitions clash with glibc's <termios.h> (both define struct termios
 * and the same constants), so they are used only in this file, which includes nothing of
 * glibc's terminal headers.
 */
#include "speed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <linux/serial.h>

/* <sys/ioctl.h> would pull glibc's terminal definitions back in. */
extern int ioctl(int fd, unsigned long request, ...);

/* Standard rates keep their own codes, so that every other tool reads the rate as usual. */
static tcflag_t RateCode(uint32_t baud) {
    static const struct {
        uint32_t baud;
        tcflag_t code;
    } rates[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (unsigned i = 0; i < sizeof rates / sizeof rates[0]; ++i) {
        if (rates[i].baud == baud)
            return rates[i].code;
    }
    return BOTHER;
}

int rs232_set_speed(int fd, uint32_t baud) {
    struct termios2 tio;
    if (baud == 0 || ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    const tcflag_t code = RateCode(baud);
    tio.c_cflag &= ~(tcflag_t)(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= code | (code << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return -1;

    /* A UART settles on the nearest rate its divisor allows; refuse one that is far off. */
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return -1;
    const uint64_t got = tio.c_ospeed;
    const uint64_t want = baud;
    const uint64_t diff = got > want ? got - want : want - got;
    return diff * 50 <= want ? 0 : -1;
}

int rs232_try_speed(int fd, uint32_t baud) {
    struct termios2 saved;
    if (ioctl(fd, TCGETS2, &saved) != 0)
        return -1;
    const int result = rs232_set_speed(fd, baud);
    (void)ioctl(fd, TCSETS2, &saved);
    return result;
}

void rs232_set_low_latency(int fd) {
    struct serial_struct serial;
    /* Only real serial drivers know TIOCGSERIAL; a pseudo-terminal refuses it harmlessly. */
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &serial);
}
