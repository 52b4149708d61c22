// Port names mapped to devices, and what a probe finds, through the real librs232.so.
#include "rs232/rs232.h"
#include "scanner_sim_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string Mapped(const char* name) {
    char path[256];
    return MapPortName(name, path, sizeof path) == RS232_OK ? path : "(none)";
}

struct NameCase {
    const char* name;
    const char* path;
    int32_t source;
};

class PortName : public ::testing::TestWithParam<NameCase> {
protected:
    void SetUp() override {
        setenv("RS232_COM3", "/dev/ttyUSB0", 1);
        unsetenv("RS232_COM1");
        unsetenv("RS232_COM4");
        setenv("RS232_COM2", "", 1);
        const char* map[] = {nullptr, "/dev/serial/by-id/usb-B", "/dev/ttyACM9", "/dev/ttyACM4"};
        ASSERT_EQ(SetPortMap(map, 4), RS232_OK);
    }
    void TearDown() override { SetPortMap(nullptr, 0); }
};

// The environment first, then the port map, then /dev/ttyS<n-1>; paths are taken as they
// are; the component says which of them gave the device.
TEST_P(PortName, Maps) {
    EXPECT_EQ(Mapped(GetParam().name), GetParam().path);
    EXPECT_EQ(MapPortSource(GetParam().name), GetParam().source);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortName,
    ::testing::Values(NameCase{"\\\\.\\COM1", "/dev/ttyS0", RS232_SOURCE_DEFAULT},
                      NameCase{"\\\\.\\COM3", "/dev/ttyUSB0", RS232_SOURCE_ENV},
                      NameCase{"\\\\.\\COM2", "/dev/serial/by-id/usb-B", RS232_SOURCE_MAP},
                      NameCase{"COM4", "/dev/ttyACM4", RS232_SOURCE_MAP},
                      NameCase{"\\\\.\\COM10", "/dev/ttyS9", RS232_SOURCE_DEFAULT},
                      NameCase{"com3", "/dev/ttyUSB0", RS232_SOURCE_ENV},
                      NameCase{"\\\\.\\COM0", "(none)", RS232_SOURCE_NONE},
                      NameCase{"/dev/ttyACM0", "/dev/ttyACM0", RS232_SOURCE_PATH},
                      NameCase{"\\\\.\\COMX", "\\\\.\\COMX", RS232_SOURCE_PATH},
                      NameCase{"COM1234567890", "COM1234567890", RS232_SOURCE_PATH},
                      NameCase{"", "(none)", RS232_SOURCE_NONE}));

// A map that cannot be taken leaves the old one in force; an over-long entry costs only
// its own number, which then names no device instead of the default one.
TEST(PortMap, BadArgumentsKeepTheMap) {
    unsetenv("RS232_COM1");
    unsetenv("RS232_COM2");
    const char* good[] = {"/dev/ttyUSB7"};
    ASSERT_EQ(SetPortMap(good, 1), RS232_OK);
    EXPECT_EQ(SetPortMap(nullptr, 2), RS232_ERR_ARGUMENT);
    EXPECT_EQ(SetPortMap(good, -1), RS232_ERR_ARGUMENT);
    EXPECT_EQ(Mapped("COM1"), "/dev/ttyUSB7");
    const std::string longPath(300, 'x');
    const char* bad[] = {"/dev/ttyUSB8", longPath.c_str()};
    EXPECT_EQ(SetPortMap(bad, 2), RS232_ERR_ARGUMENT);
    EXPECT_EQ(Mapped("COM1"), "/dev/ttyUSB8");
    EXPECT_EQ(Mapped("COM2"), "(none)");
    char tiny[4];
    EXPECT_EQ(MapPortName("COM1", tiny, sizeof tiny), RS232_ERR_ARGUMENT);
    SetPortMap(nullptr, 0);
}

// Each reason a port cannot be used, on a pseudo-terminal set up for it.
TEST(ProbePort, Reasons) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);

    RS232_PortState state{};
    EXPECT_EQ(ProbePort(slave.c_str(), 9600, &state), RS232_PORT_USABLE);
    EXPECT_EQ(std::string(state.device), slave);
    // The terminal's group may only write to it: joining it would not help.
    EXPECT_EQ(std::string(state.group), "");
    // A rate the driver refuses is named as such; the rate tried does not stay behind.
    termios before{}, after{};
    ASSERT_EQ(tcgetattr(master, &before), 0);
    EXPECT_EQ(ProbePort(slave.c_str(), -5, &state), RS232_PORT_BAD_RATE);
    EXPECT_EQ(ProbePort(slave.c_str(), 0, &state), RS232_PORT_BAD_RATE);
    EXPECT_EQ(ProbePort(slave.c_str(), 250000, &state), RS232_PORT_USABLE);
    ASSERT_EQ(tcgetattr(master, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));

    // Held by this very process: the lock names its holder.
    ASSERT_EQ(PortInit(slave.c_str(), 9600, 0, 8, 0), RS232_OK);
    ASSERT_EQ(OpenPort(), RS232_OK);
    EXPECT_EQ(ProbePort(slave.c_str(), 9600, &state), RS232_PORT_BUSY);
    EXPECT_EQ(state.holderPid, getpid());
    ClosePort();

    EXPECT_EQ(ProbePort("/nonexistent/ttyUSB0", 9600, &state), RS232_PORT_MISSING);
    EXPECT_EQ(ProbePort("/dev/null", 9600, &state), RS232_PORT_NOT_A_TERMINAL);
    EXPECT_EQ(ProbePort("COM0", 9600, &state), RS232_PORT_MISSING);
    EXPECT_EQ(ProbePort(nullptr, 9600, &state), -1);

    // Without permission: a mode nobody may open, probed as a user who is not root.
    struct stat st {};
    ASSERT_EQ(stat(slave.c_str(), &st), 0);
    ASSERT_EQ(chmod(slave.c_str(), 0), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        RS232_PortState s{};
        _exit(ProbePort(slave.c_str(), 9600, &s) == RS232_PORT_NO_PERMISSION && s.group[0] == 0
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(slave.c_str(), st.st_mode & 07777);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(master);
}

} // namespace
