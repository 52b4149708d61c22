// Port names of the program mapped to device paths.
#include "port_name.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct NameCase {
    const char* name;
    const char* path;
};

class PortName : public ::testing::TestWithParam<NameCase> {
protected:
    void SetUp() override {
        setenv("RS232_COM3", "/dev/ttyUSB0", 1);
        unsetenv("RS232_COM1");
        setenv("RS232_COM2", "", 1);
    }
};

// COM names go through RS232_COM<n>, else to /dev/ttyS<n-1>; paths are taken as they are.
TEST_P(PortName, Maps) {
    EXPECT_EQ(rs232::MapPortName(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortName,
    ::testing::Values(NameCase{"\\\\.\\COM1", "/dev/ttyS0"},
                      NameCase{"\\\\.\\COM3", "/dev/ttyUSB0"},
                      NameCase{"\\\\.\\COM2", "/dev/ttyS1"}, NameCase{"\\\\.\\COM10", "/dev/ttyS9"},
                      NameCase{"com3", "/dev/ttyUSB0"}, NameCase{"\\\\.\\COM0", ""},
                      NameCase{"/dev/ttyACM0", "/dev/ttyACM0"},
                      NameCase{"\\\\.\\COMX", "\\\\.\\COMX"}, NameCase{"", ""}));

} // namespace
