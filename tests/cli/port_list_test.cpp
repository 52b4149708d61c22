#include "kaprin/cli/port_list.h"

#include "temp_dir.h"
#include "terminal_harness.h"

#include <gtest/gtest.h>

#include <map>

namespace kaprin::cli {
namespace {

// Each port's device, from the environment or the default, and whether it opens:
// a pseudo-terminal opens, a plain file is no serial device, a missing path is missing.
TEST(PortList, ShowsEachPortsDeviceAndWhetherItOpens) {
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    kaprin::test::TempDir dir;
    std::string plain = dir.Write("plain", "x");
    std::map<std::string, std::string> env = {
        {"RS232_COM1", pty.slavePath()},
        {"RS232_COM2", plain},
        {"RS232_COM3", dir / "gone"},
        {"RS232_COM4", ""}, // set but empty: the default applies
    };
    GetEnv getenv = [&](const char* name) -> const char* {
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };

    std::vector<PortInfo> ports = ListPorts(getenv);
    ASSERT_EQ(ports.size(), 20u);
    EXPECT_EQ(ports[0].device, pty.slavePath());
    EXPECT_TRUE(ports[0].exists && ports[0].opens && ports[0].fromEnvironment);
    EXPECT_EQ(ports[1].device, plain);
    EXPECT_TRUE(ports[1].exists);
    EXPECT_FALSE(ports[1].opens);
    EXPECT_EQ(ports[1].problem, "not a serial device");
    EXPECT_FALSE(ports[2].exists);
    EXPECT_EQ(ports[2].problem, "missing");
    EXPECT_EQ(ports[3].device, "/dev/ttyS3");
    EXPECT_FALSE(ports[3].fromEnvironment);
    EXPECT_EQ(ports[19].device, "/dev/ttyS19");
    EXPECT_EQ(PortDevice(7, getenv), "/dev/ttyS6");

    std::string text = FormatPortList(ports);
    EXPECT_NE(text.find("COM1   " + pty.slavePath()), std::string::npos) << text;
    EXPECT_NE(text.find("can be opened  (RS232_COM1)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("exists, cannot be opened: not a serial device  (RS232_COM2)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("missing  (RS232_COM3)\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20);
}

} // namespace
} // namespace kaprin::cli
