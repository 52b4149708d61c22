// The serial-port component over POSIX termios.
#include "serial_port.h"

#include "rs232/rs232.h"

#include "port_name.h"
#include "port_probe.h"
#include "speed.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace rs232 {

namespace {

void SleepMs(int32_t ms) {
    if (ms <= 0)
        return;
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool LostDevice(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

} // namespace

bool SerialPort::ConfigureLine(const Config& cfg) {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | HUPCL);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= sizes[cfg.dataBits - 5];
    if (cfg.parity != 0) {
        tio.c_cflag |= PARENB;
        if (cfg.parity == 1)
            tio.c_cflag |= PARODD;
    }
    if (cfg.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd_, TCSANOW, &tio) == 0;
}

void SerialPort::ModemLine(int line, bool on) {
    if (fd_ < 0)
        return;
    // A pseudo-terminal has no modem lines and refuses; nothing depends on the answer.
    (void)ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line);
}

void SerialPort::Close() {
    if (fd_ < 0)
        return;
    // Output for a device that has gone would only make close wait for it to drain.
    if (gone_)
        (void)tcflush(fd_, TCOFLUSH);
    // Release the hold first, so that the next owner never finds the port still marked.
    (void)ioctl(fd_, TIOCNXCL);
    (void)flock(fd_, LOCK_UN);
    (void)close(fd_);
    fd_ = -1;
    head_ = tail_ = 0;
    gone_ = false;
}

int32_t SerialPort::Init(const char* name, int32_t baud, int32_t parity, int32_t dataBits,
                         int32_t stopBits) {
    if (name == nullptr || std::strlen(name) == 0 || std::strlen(name) > 255)
        return RS232_ERR_ARGUMENT;
    if (parity < 0 || parity > 2 || dataBits < 5 || dataBits > 8 ||
        (stopBits != 0 && stopBits != 2))
        return RS232_ERR_ARGUMENT;
    std::lock_guard<std::mutex> lock(configMutex_);
    config_.name = name;
    config_.baud = baud;
    config_.parity = parity;
    config_.dataBits = dataBits;
    config_.stopBits = stopBits;
    config_.valid = true;
    return RS232_OK;
}

int32_t SerialPort::Open() {
    Close();
    Config cfg;
    {
        std::lock_guard<std::mutex> lock(configMutex_);
        cfg = config_;
    }
    if (!cfg.valid)
        return RS232_ERR_NOT_CONFIGURED;
    if (cfg.baud <= 0)
        return RS232_ERR_BAUD;
    const std::string path = MapName(cfg.name).path;
    // Probe bytes and images must not go into the system console.
    if (path.empty() || !ActiveConsoleOf(path).empty())
        return RS232_ERR_OPEN;

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY ? RS232_ERR_BUSY : RS232_ERR_OPEN;
    if (!isatty(fd)) {
        close(fd);
        return RS232_ERR_NOT_A_TTY;
    }
    // flock keeps out other users of this component even when they run as root, which
    // TIOCEXCL does not; TIOCEXCL keeps out everybody else who is not root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        (void)ioctl(fd, TIOCNXCL);
        close(fd);
        return RS232_ERR_BUSY;
    }
    fd_ = fd;
    if (!ConfigureLine(cfg)) {
        Close();
        return RS232_ERR_NOT_A_TTY;
    }
    if (rs232_set_speed(fd, static_cast<uint32_t>(cfg.baud)) != 0) {
        Close();
        return RS232_ERR_BAUD;
    }
    rs232_set_low_latency(fd);
    (void)tcflush(fd, TCIOFLUSH);
    return RS232_OK;
}

void SerialPort::Write(const char* data, int32_t count) {
    if (fd_ < 0 || gone_ || data == nullptr || count <= 0)
        return;
    size_t done = 0;
    const size_t total = static_cast<size_t>(count);
    while (done < total) {
        const ssize_t n = write(fd_, data + done, total - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The driver's queue is full; it drains at the line rate. A queue that does not
            // move for a second will not move: drop the rest, the reply will time out.
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 1000) > 0 && (p.revents & POLLOUT))
                continue;
            return;
        }
        if (n < 0 && LostDevice(errno))
            gone_ = true;
        return;
    }
}

int32_t SerialPort::Read(uint8_t* byte) {
    if (byte == nullptr || fd_ < 0)
        return 0;
    if (head_ == tail_ && !gone_) {
        const ssize_t n = read(fd_, buffer_, sizeof buffer_);
        if (n > 0) {
            head_ = 0;
            tail_ = static_cast<size_t>(n);
        } else if (n < 0 && LostDevice(errno)) {
            gone_ = true;
        }
    }
    if (head_ == tail_)
        return 0;
    *byte = buffer_[head_++];
    return 1;
}

int32_t SerialPort::Wait(int32_t ms) {
    if (head_ != tail_)
        return 1;
    if (ms < 0)
        ms = 0;
    if (fd_ < 0 || gone_) {
        SleepMs(ms);
        return 0;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pollfd p{fd_, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, ms);
    } while (rc < 0 && errno == EINTR);
    if (rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        // A hung-up terminal polls readable for ever and reads as empty. Hand out what is
        // left; then the device has gone: sleep out the rest, so the caller's time-out still
        // takes its time instead of spinning.
        uint8_t byte = 0;
        if (Read(&byte) != 0) {
            --head_;
            return 1;
        }
        gone_ = true;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long spent =
            (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
        SleepMs(ms - static_cast<int32_t>(spent));
        return 0;
    }
    return rc > 0 && (p.revents & POLLIN) ? 1 : 0;
}

} // namespace rs232
