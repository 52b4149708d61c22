#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/port_check.h"
#include "kaprin/prefs/serial_devices.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace kaprin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A folder laid out like /sys and /dev: `sys/class/tty/<name>/device` leads into
// `sys/devices`, USB devices carry their id and string files, and `dev/serial/by-id`
// holds the stable links.
struct FakeSystem {
    TempDir dir;
    std::string sys = dir / "sys", dev = dir / "dev";

    void Link(const fs::path& link, const fs::path& target) {
        fs::create_directories(link.parent_path());
        fs::create_symlink(target, link);
    }
    // A tty whose device folder is `devicePath` below sys/devices, bound to `driver`.
    void Tty(const std::string& name, const std::string& devicePath, const std::string& driver,
             const std::string& subsystem = "usb-serial") {
        const fs::path device = fs::path(sys) / "devices" / devicePath;
        fs::create_directories(device);
        Link(device / "driver", fs::path(sys) / "bus" / subsystem / "drivers" / driver);
        Link(device / "subsystem", fs::path(sys) / "bus" / subsystem);
        Link(fs::path(sys) / "class" / "tty" / name / "device", device);
    }
    void Usb(const std::string& usbPath, std::map<std::string, std::string> attributes) {
        for (const auto& [file, value] : attributes)
            dir.Write("sys/devices/" + usbPath + "/" + file, value + "\n");
    }
    void DeviceFile(const std::string& name) { dir.Write("dev/" + name, ""); }
    void ById(const std::string& link, const std::string& name) {
        Link(fs::path(dev) / "serial" / "by-id" / link, "../../" + name);
    }
};

// Detection keeps the hardware-backed ttys and reads what a person needs to tell them
// apart; consoles and the platform's legacy 8250 ports are left out.
TEST(DetectSerialDevices, FindsWhatAPersonNeedsOnAFakeTree) {
    FakeSystem f;
    // An FTDI adapter: the tty's device is a child of the interface, two levels below USB.
    f.Usb("usb1/1-1", {{"idVendor", "0403"},
                       {"idProduct", "6001"},
                       {"manufacturer", "FTDI"},
                       {"product", "FT232R USB UART"},
                       {"serial", "A10K5"}});
    f.Tty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0", "ftdi_sio");
    f.DeviceFile("ttyUSB0");
    f.ById("usb-FTDI_FT232R_USB_UART_A10K5-if00-port0", "ttyUSB0");
    // A CDC ACM device: the tty's device is the interface itself; unplugged just now.
    f.Usb("usb1/1-2", {{"idVendor", "2341"}, {"idProduct", "0043"}, {"product", "Arduino Uno"}});
    f.Tty("ttyACM0", "usb1/1-2/1-2:1.0", "cdc_acm", "usb");
    // A real on-board port and a phantom one, a console and a pseudo-terminal.
    f.Tty("ttyS0", "pnp0/00:04/00:04:0/00:04:0.0", "port", "serial-base");
    f.Link(fs::path(f.sys) / "devices/pnp0/00:04/00:04:0/driver", f.sys + "/bus/serial-base/ctrl");
    f.Link(fs::path(f.sys) / "devices/pnp0/00:04/driver", fs::path(f.sys) / "bus/pnp/serial");
    f.DeviceFile("ttyS0");
    f.Tty("ttyS3", "platform/serial8250", "serial8250", "platform");
    f.Tty("ttyS4", "platform/serial8250/serial8250:0/serial8250:0.4", "port", "serial-base");
    fs::create_directories(fs::path(f.sys) / "class/tty/tty0");
    fs::create_directories(fs::path(f.sys) / "class/tty/ptmx");

    const auto devices = DetectSerialDevices(f.sys, f.dev);
    ASSERT_EQ(devices.size(), 3u);
    const struct {
        std::string name, byId, ids, driver, description;
        bool usb, present;
    } expected[] = {
        {"ttyACM0", "", "2341:0043", "cdc_acm", "Arduino Uno (2341:0043, cdc_acm)", true, false},
        {"ttyS0", "", ":", "serial", "serial port (serial)", false, true},
        {"ttyUSB0", f.dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5-if00-port0", "0403:6001",
         "ftdi_sio", "FTDI FT232R USB UART (0403:6001, serial A10K5, ftdi_sio)", true, true},
    };
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const SerialDevice& d = devices[i];
        SCOPED_TRACE(d.name);
        EXPECT_EQ(d.name, expected[i].name);
        EXPECT_EQ(d.devicePath, f.dev + "/" + expected[i].name);
        EXPECT_EQ(d.byIdPath, expected[i].byId);
        EXPECT_EQ(d.vendorId + ":" + d.productId, expected[i].ids);
        EXPECT_EQ(d.driver, expected[i].driver);
        EXPECT_EQ(DescribeDevice(d), expected[i].description);
        EXPECT_EQ(d.usb, expected[i].usb);
        EXPECT_EQ(d.present, expected[i].present);
        // Plain files of mode 644: no group could grant read and write access.
        EXPECT_EQ(d.group, "") << "a group that cannot give access is not named";
    }
    // The stable path is preferred; any path leading to the device finds it.
    EXPECT_EQ(StablePath(devices[2]), expected[2].byId);
    EXPECT_EQ(StablePath(devices[1]), f.dev + "/ttyS0");
    f.Link(f.dir / "another-link", f.dev + "/ttyUSB0");
    EXPECT_EQ(FindDevice(devices, f.dir / "another-link"), &devices[2]);
    EXPECT_EQ(FindDevice(devices, expected[2].byId), &devices[2]);
    EXPECT_EQ(FindDevice(devices, f.dir / "none"), nullptr);
    // No tree at all: nothing found, nothing thrown.
    EXPECT_TRUE(DetectSerialDevices(f.dir / "nothing", f.dir / "nothing").empty());
}

// Each reason a port cannot be used has its own sentence naming the device; a forbidden
// device also names its group and the fix, a busy one the holder; a usable port has none.
TEST(PortProblemText, SaysWhyAndWhatToDo) {
    LangTable english; // no file loaded: the built-in English texts
    const std::string dev = "/dev/ttyUSB0";
    EXPECT_EQ(PortProblemText({PortCondition::Usable, 0, 0, dev, "dialout"}, english), "");
    std::set<std::string> texts;
    for (auto c : {PortCondition::Missing, PortCondition::NoPermission, PortCondition::Busy,
                   PortCondition::NotATerminal, PortCondition::Failed}) {
        const std::string text = PortProblemText({c, 5, 0, dev, ""}, english);
        EXPECT_NE(text.find(dev), std::string::npos) << text;
        EXPECT_TRUE(texts.insert(text).second) << text;
    }
    EXPECT_EQ(PortProblemText({PortCondition::NoPermission, 13, 0, dev, "dialout"}, english),
              "You may not open /dev/ttyUSB0: it belongs to the group dialout. Run \"sudo usermod "
              "-aG dialout $USER\", then log out and in again.");
    EXPECT_EQ(PortProblemText({PortCondition::NoPermission, 13, 0, dev, "", "root"}, english),
              "You may not open /dev/ttyUSB0 (owner root), and no group may read and write it. An "
              "administrator must grant you access, for instance with a udev rule.");
    LangTable chinese;
    chinese.LoadText("#1522 %1 正被其他程式使用（程序 %2）。\n");
    EXPECT_EQ(PortProblemText({PortCondition::Busy, 16, 4242, dev, ""}, chinese),
              "/dev/ttyUSB0 正被其他程式使用（程序 4242）。");
}

// Joining the owning group is advised only when it may read and write, and is not root's.
TEST(GroupGrantsAccess, OnlyAReadWriteGroupOtherThanRoot) {
    const struct {
        unsigned mode, gid;
        bool grants;
    } cases[] = {{020660, 20, true},
                 {020600, 20, false},
                 {020640, 20, false},
                 {020620, 20, false},
                 {020660, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(GroupGrantsAccess(c.mode, c.gid), c.grants) << std::oct << c.mode << " " << c.gid;
}

// Only a probe that finds the port unusable asks the serial component why, for the port
// the library was given, and the library's answer passes through unchanged.
TEST(PortCheckingPellin, AsksWhyOnlyWhenThePortCannotBeUsed) {
    test::FakePellin library;
    test::FakeSerial serial;
    serial.probes["COM3"] = {PortCondition::Busy, 16, 77, "/dev/ttyUSB0", ""};
    PortCheckingPellin pellin(library, &serial);
    std::vector<int> holders;
    pellin.onProblem = [&](const PortState& s) { holders.push_back(s.holderPid); };
    pellin.usePort(2, 9600);
    library.checkZ = {0, 1, -1};
    EXPECT_EQ(pellin.CheckZ(), 0);
    EXPECT_EQ(pellin.CheckZ(), 1);
    EXPECT_TRUE(serial.probed.empty());
    EXPECT_EQ(pellin.CheckZ(), -1);
    EXPECT_EQ(serial.probed, std::vector<std::string>{"COM3"});
    EXPECT_EQ(holders, std::vector<int>{77});
    // The port is free again by the time it is probed: nothing to explain.
    pellin.usePort(0, 9600);
    EXPECT_EQ(pellin.CheckZ(), -1);
    EXPECT_EQ(holders.size(), 1u);
    EXPECT_EQ(library.usePortCalls.back(), std::make_pair(0, 9600));
}

// A time-out on a device that has gone is reported as removed; one on a device still there,
// and every other code, pass without a word.
TEST(PortCheckingPellin, TimeOutOnAGoneDeviceSaysRemoved) {
    test::FakePellin library;
    test::FakeSerial serial;
    serial.probes["COM1"] = {PortCondition::Missing, 2, 0, "/dev/ttyUSB0", ""};
    PortCheckingPellin pellin(library, &serial);
    std::vector<std::string> said;
    LangTable english;
    pellin.onProblem = [&](const PortState& s) { said.push_back(PortProblemText(s, english)); };
    library.errors = {4, 1};
    EXPECT_EQ(pellin.getError(), 4);
    EXPECT_EQ(pellin.getError(), 1);
    serial.probes["COM1"].condition = PortCondition::Usable;
    library.errors = {1};
    EXPECT_EQ(pellin.getError(), 1);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("/dev/ttyUSB0 was removed during the transfer", 0), 0u) << said[0];
}

// What a station stands in with is what the readers take back.
TEST(CommSettings, StoredTextsReadBack) {
    test::MemoryStore store;
    for (int port : {1, 7, 20}) {
        store.values[{"Comm", "COM PORT"}] = comm::PortPositionText(port);
        EXPECT_EQ(comm::ReadPortPosition(store), port - 1);
    }
    for (std::int32_t rate : {9600, 19200, 38400, 57600, 115200, 1200, 250000}) {
        store.values[{"Comm", "BAUD RATE"}] = comm::BaudSettingText(rate);
        EXPECT_EQ(comm::ReadBaudRate(store), rate);
    }
    store.values[{"Ports", "COM2"}] = "  /dev/ttyUSB0 ";
    const comm::PortMap map = comm::ReadPortMap(store);
    EXPECT_EQ(map[1], "/dev/ttyUSB0");
    EXPECT_FALSE(comm::MapIsEmpty(map));
    for (auto [text, number] : std::vector<std::pair<std::string, int>>{{"COM3", 3},
                                                                        {"com20", 20},
                                                                        {"\\\\.\\COM1", 1},
                                                                        {"COM0", 0},
                                                                        {"COM21", 0},
                                                                        {"COM", 0},
                                                                        {"COMx", 0},
                                                                        {"3", 0},
                                                                        {"COM-1", 0}})
        EXPECT_EQ(comm::ParseComName(text).value_or(0), number) << text;
}

} // namespace
} // namespace kaprin
