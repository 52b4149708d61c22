// The system console is told apart however its device is named.
#include "port_probe.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

struct ConsoleCase {
    const char* path; // under the fake /dev
    const char* active;
    const char* console;
};

class ActiveConsole : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(ActiveConsole, FoundByTheDeviceItIs) {
    const ConsoleCase& c = GetParam();
    kaprin::test::TempDir dir;
    const std::string dev = dir / "dev";
    std::filesystem::create_directories(dev + "/serial");
    dir.Write("dev/ttyS0", "");
    dir.Write("dev/ttyUSB0", "");
    std::filesystem::create_symlink(dev + "/ttyS0", dev + "/serial/by-path-0");
    EXPECT_EQ(rs232::ActiveConsoleOf(dev + "/" + c.path, c.active, dev), c.console) << c.path;
}

INSTANTIATE_TEST_SUITE_P(Devices, ActiveConsole,
                         ::testing::Values(ConsoleCase{"ttyS0", "tty0 ttyS0\n", "ttyS0"},
                                           ConsoleCase{"serial/by-path-0", "ttyS0\n", "ttyS0"},
                                           ConsoleCase{"ttyUSB0", "tty0 ttyS0\n", ""},
                                           ConsoleCase{"ttyS0", "", ""},
                                           ConsoleCase{"ttyS0", "../dev/ttyS0", ""}));

} // namespace
