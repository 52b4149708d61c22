// The serial component on pseudo-terminals opened by the test, which plays the device on the
// master side.
#include "rs232/rs232.h"
#include "scanner_sim_process.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_PSEUDO_TERMINAL();
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
        ASSERT_EQ(PortInit(slave.c_str(), 115200, 0, 8, 0), RS232_OK);
    }
    void TearDown() override {
        ClosePort();
        if (master >= 0)
            close(master);
    }

    // Bytes the device side has received within ms.
    std::string Received(int ms = 200) {
        std::string text;
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, ms) > 0 && (p.revents & POLLIN)) {
            char chunk[256];
            const ssize_t n = read(master, chunk, sizeof chunk);
            if (n <= 0)
                break;
            text.append(chunk, static_cast<size_t>(n));
            ms = 20;
        }
        return text;
    }

    int master = -1;
    std::string slave;
};

// Raw 8N1 without flow control, both ways byte for byte (no LF to CR LF, no echo).
TEST_F(Terminal, RawLineBothWays) {
    ASSERT_EQ(OpenPort(), RS232_OK);
    const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    close(fd);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));

    WritePort("=0000000000\n", 12);
    EXPECT_EQ(Received(), "=0000000000\n");

    uint8_t byte = 0;
    EXPECT_EQ(ReadPort(&byte), 0);
    ASSERT_EQ(write(master, "\x06\x15\r\n", 4), 4);
    std::string got;
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (got.size() < 4 && Clock::now() < until) {
        if (ReadPort(&byte) != 0)
            got.push_back(static_cast<char>(byte));
        else
            WaitPort(100);
    }
    EXPECT_EQ(got, "\x06\x15\r\n");
}

// ReadPort returns at once; WaitPort waits its time, or until a byte comes.
TEST_F(Terminal, WaitPortBlocksWithoutSpinning) {
    ASSERT_EQ(OpenPort(), RS232_OK);
    uint8_t byte = 0;
    auto start = Clock::now();
    EXPECT_EQ(ReadPort(&byte), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(20));

    start = Clock::now();
    EXPECT_EQ(WaitPort(80), 0);
    auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(79));
    EXPECT_LT(took, std::chrono::milliseconds(400));

    std::thread device([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        (void)write(master, "Z", 1);
    });
    start = Clock::now();
    EXPECT_EQ(WaitPort(2000), 1);
    took = Clock::now() - start;
    device.join();
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    ASSERT_EQ(ReadPort(&byte), 1);
    EXPECT_EQ(byte, 'Z');
}

// Opening empties what was waiting before.
TEST_F(Terminal, OpenDiscardsStaleInput) {
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY); // keeps the terminal alive
    ASSERT_EQ(write(master, "stale", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(OpenPort(), RS232_OK);
    uint8_t byte = 0;
    EXPECT_EQ(ReadPort(&byte), 0);
    close(keep);
}

struct RateCase {
    int32_t baud;
    int32_t result;
};

class Rates : public Terminal, public ::testing::WithParamInterface<RateCase> {};

// Standard and non-standard rates open; an impossible one fails OpenPort.
TEST_P(Rates, OpenOrRefuse) {
    ASSERT_EQ(PortInit(slave.c_str(), GetParam().baud, 0, 8, 0), RS232_OK);
    EXPECT_EQ(OpenPort(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Bauds, Rates,
                         ::testing::Values(RateCase{9600, RS232_OK}, RateCase{115200, RS232_OK},
                                           RateCase{250000, RS232_OK}, RateCase{31250, RS232_OK},
                                           RateCase{0, RS232_ERR_BAUD},
                                           RateCase{-9600, RS232_ERR_BAUD}));

// The hold keeps other users out, and is released before the port is closed.
TEST_F(Terminal, ExclusiveWhileOpen) {
    ASSERT_EQ(OpenPort(), RS232_OK);
    const int other = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);

    ClosePort();
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

    // Now the other holds it: OpenPort is refused.
    EXPECT_EQ(OpenPort(), RS232_ERR_BUSY);
    flock(other, LOCK_UN);
    EXPECT_EQ(OpenPort(), RS232_OK);
    close(other);
}

// Everything is harmless on a closed port and on a terminal without modem lines.
TEST_F(Terminal, HarmlessCalls) {
    ClosePort();
    ClosePort();
    WritePort("x", 1);
    uint8_t byte = 0;
    EXPECT_EQ(ReadPort(&byte), 0);
    auto start = Clock::now();
    EXPECT_EQ(WaitPort(30), 0); // not open: sleeps its time
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(29));
    SetDTR();

    ASSERT_EQ(OpenPort(), RS232_OK);
    SetDTR();
    ClrDTR();
    SetRTS();
    ClrRTS();
    WritePort("ok", 2);
    EXPECT_EQ(Received(), "ok");
    ClosePort();
    ClosePort();
}

// The device goes away under an open port: nothing fails loudly and waits still take their time.
TEST_F(Terminal, DeviceGoneWhileOpen) {
    ASSERT_EQ(OpenPort(), RS232_OK);
    close(master);
    master = -1;
    WritePort("=0000000000\n", 12);
    uint8_t byte = 0;
    EXPECT_EQ(ReadPort(&byte), 0);
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(WaitPort(50), 0);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(45));
    }
    ClosePort();
}

// COM names reach the terminal through RS232_COM<n>.
TEST_F(Terminal, ComNameThroughEnvironment) {
    testsupport::MapComPort(7, slave);
    ASSERT_EQ(PortInit("\\\\.\\COM7", 19200, 0, 8, 0), RS232_OK);
    ASSERT_EQ(OpenPort(), RS232_OK);
    WritePort("Z", 1);
    EXPECT_EQ(Received(), "Z");
}

struct InitCase {
    const char* name;
    int32_t parity;
    int32_t bits;
    int32_t stop;
    int32_t result;
};

class Init : public ::testing::TestWithParam<InitCase> {};

// PortInit refuses what it cannot configure and keeps what it had.
TEST_P(Init, Arguments) {
    const InitCase& c = GetParam();
    EXPECT_EQ(PortInit(c.name, 9600, c.parity, c.bits, c.stop), c.result);
}

INSTANTIATE_TEST_SUITE_P(Configs, Init,
                         ::testing::Values(InitCase{"\\\\.\\COM1", 0, 8, 0, RS232_OK},
                                           InitCase{"\\\\.\\COM1", 2, 7, 2, RS232_OK},
                                           InitCase{nullptr, 0, 8, 0, RS232_ERR_ARGUMENT},
                                           InitCase{"", 0, 8, 0, RS232_ERR_ARGUMENT},
                                           InitCase{"\\\\.\\COM1", 3, 8, 0, RS232_ERR_ARGUMENT},
                                           InitCase{"\\\\.\\COM1", 0, 9, 0, RS232_ERR_ARGUMENT},
                                           InitCase{"\\\\.\\COM1", 0, 8, 1, RS232_ERR_ARGUMENT}));

// Paths that are not terminals, or not there, fail to open with their own codes.
TEST(OpenPortPaths, NotATerminalOrMissing) {
    ASSERT_EQ(PortInit("/dev/null", 9600, 0, 8, 0), RS232_OK);
    EXPECT_EQ(OpenPort(), RS232_ERR_NOT_A_TTY);
    ASSERT_EQ(PortInit("/nonexistent/tty", 9600, 0, 8, 0), RS232_OK);
    EXPECT_EQ(OpenPort(), RS232_ERR_OPEN);
    ClosePort();
}

} // namespace
