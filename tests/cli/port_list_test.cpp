#include "kaprin/cli/port_list.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/serial/system_serial_ports.h"

#include "temp_dir.h"
#include "terminal_harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaprin::cli {
namespace {

// Another station: a process that holds the port's lock until it is ended.
struct Holder {
    explicit Holder(const std::string& device) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            (void)flock(fd, LOCK_EX | LOCK_NB);
            (void)!write(ready[1], "x", 1);
            pause();
            _exit(0);
        }
        char c;
        (void)!read(ready[0], &c, 1);
        close(ready[0]);
        close(ready[1]);
    }
    ~Holder() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    pid_t pid = -1;
};

// Each port's device and where it comes from (environment, map, default), and what the
// serial component's probe finds there, the lock of another station included.
TEST(PortList, ShowsEachPortsDeviceAndWhatStandsInTheWay) {
    test::PseudoTerminal free, held;
    ASSERT_TRUE(free.ok() && held.ok());
    kaprin::test::TempDir dir;
    for (int n = 1; n <= 20; ++n)
        unsetenv(("RS232_COM" + std::to_string(n)).c_str());
    setenv("RS232_COM1", free.slavePath().c_str(), 1);
    comm::PortMap map;
    map[0] = dir / "overridden";
    map[1] = held.slavePath();
    map[2] = dir.Write("plain", "x");
    map[3] = dir / "gone";
    SystemSerialPorts serial;
    serial.SetPortMap(map);
    Holder other(held.slavePath());
    ASSERT_GT(other.pid, 0);

    const std::vector<PortInfo> ports = ListPorts(serial, 9600);
    unsetenv("RS232_COM1");
    serial.SetPortMap({});
    ASSERT_EQ(ports.size(), 20u);
    const struct {
        std::string device, source, state;
    } expected[] = {
        {free.slavePath(), "RS232_COM1", "can be opened"},
        {held.slavePath(), "map", "busy (process " + std::to_string(other.pid) + ")"},
        {map[2], "map", "not a serial device"},
        {map[3], "map", "missing"},
        {"/dev/ttyS4", "default", ""},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ports[i].device, expected[i].device);
        EXPECT_EQ(ports[i].source, expected[i].source);
        if (!expected[i].state.empty()) {
            EXPECT_EQ(DescribeState(ports[i].state), expected[i].state);
        }
    }

    SerialDevice usb;
    usb.devicePath = "/dev/ttyUSB0";
    usb.byIdPath = "/dev/serial/by-id/usb-FTDI_X-if00-port0";
    usb.usb = usb.present = true;
    usb.serial = "X";
    usb.group = "dialout";
    SerialDevice forged = usb;
    forged.devicePath = "/dev/ttyUSB1";
    forged.byIdPath.clear(); // a shared by-id name would store both by their sockets
    forged.manufacturer = "X\nCOM9   /dev/ttyUSB9";
    const std::string text = FormatPortList(ports, {usb, forged});
    // A control byte from a USB string is shown escaped, never as a list line of its own.
    EXPECT_NE(text.find("X\\nCOM9"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nCOM9   /dev/ttyUSB9"), std::string::npos) << text;
    EXPECT_NE(text.find("COM2   " + held.slavePath()), std::string::npos) << text;
    EXPECT_NE(text.find("  /dev/ttyUSB0  USB serial device"), std::string::npos) << text;
    EXPECT_NE(text.find("    " + usb.byIdPath + "\n    no permission (group dialout)\n"),
              std::string::npos)
        << text;
}

} // namespace
} // namespace kaprin::cli

namespace kaprin::cli {
namespace {

// A user outside the device's group is told the device, the group and the fix, through the
// real serial component on a pseudo-terminal whose mode forbids them. Root may open
// anything, so the probe runs in a child that gives root up.
TEST(PortList, PermissionSentenceThroughTheSerialComponent) {
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(chmod(pty.slavePath().c_str(), 0660), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        if (getuid() != 0)
            (void)chmod(pty.slavePath().c_str(), 0); // our own terminal: forbid it to ourselves
        SystemSerialPorts serial;
        const std::string text =
            PortProblemText(serial.ProbePort(pty.slavePath(), 9600), LangTable{});
        (void)!write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "could not give root up";
    struct stat st {};
    ASSERT_EQ(stat(pty.slavePath().c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string name = owner->gr_name;
    // Root's group is never offered: then the owner is named instead.
    if (GroupGrantsAccess(st.st_mode, st.st_gid))
        EXPECT_EQ(text, "You may not open " + pty.slavePath() + ": it belongs to the group " +
                            name + ". Run \"sudo usermod -aG " + name +
                            " $USER\", then log out and in again.");
    else
        EXPECT_EQ(text.rfind("You may not open " + pty.slavePath() + " (owner " +
                                 InspectDeviceFile(pty.slavePath()).owner + "), and no group",
                             0),
                  0u)
            << text;
}

} // namespace
} // namespace kaprin::cli
