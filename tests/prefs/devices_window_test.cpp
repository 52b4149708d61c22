#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/frm_comm.h"
#include "kaprin/prefs/frm_devices.h"

#include "fakes.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kaprin {
namespace {

namespace fs = std::filesystem;
using test::FakeWorld;

struct DevicesTest : ::testing::Test {
    DevicesTest() {
        usb.name = "ttyUSB0";
        usb.devicePath = dir.Write("ttyUSB0", "");
        usb.byIdPath = dir / "by-id-usb-FTDI";
        usb.usb = usb.present = usb.mayOpen = true;
        usb.vendorId = "0403";
        usb.productId = "6001";
        usb.product = "FT232R USB UART";
        usb.serial = "A1";
        usb.driver = "ftdi_sio";
        world.serial.devices = {usb};
        world.serial.defaultPrefix = dir / "ttyS";
    }
    test::TempDir dir;
    SerialDevice usb;
    FakeWorld world;
    FrmMain main{world.ports(), "/nonexistent", ""};
    FrmDevices& Open() {
        main.mnuDevices_Click();
        return *main.frmDevices;
    }
};

// The window is a table of every COM number and one of the devices found; a device clicked
// offers its stable path, which Assign stores and hands to the serial component; Clear
// writes only what was assigned; a device plugged in shows without Refresh.
TEST_F(DevicesTest, AssignsTheStablePathOfAFoundDevice) {
    world.store.values[{"Comm", "COM PORT"}] = "2";
    FrmDevices& w = Open();
    EXPECT_EQ(world.windows.shown, std::vector<WindowId>{WindowId::frmDevices});
    EXPECT_EQ(w.Caption, "Serial devices");
    ASSERT_EQ(w.tblPorts.rows.size(), 20u);
    EXPECT_EQ(w.tblPorts.listIndex, 2) << "the port in use is selected";
    using Row = std::vector<std::string>;
    EXPECT_EQ(w.tblPorts.rows[0], (Row{"COM1", dir / "ttyS0", "default", "not present", "", ""}));
    const std::vector<Row> found = {
        {usb.devicePath, "FT232R USB UART (0403:6001, serial A1, ftdi_sio)", usb.byIdPath, ""}};
    EXPECT_EQ(w.tblDevices.rows, found);

    w.tblDevices_Click(0);
    EXPECT_EQ(w.txtPath.text, usb.byIdPath);
    w.txtPath_Change(usb.devicePath); // typed: a found device is still stored by its by-id path
    w.cmdAssign_Click();
    EXPECT_EQ(world.store.ReadSetting("Ports", "COM3"), usb.byIdPath);
    ASSERT_FALSE(world.serial.mapsSet.empty());
    EXPECT_EQ(world.serial.mapsSet.back()[2], usb.byIdPath);
    fs::create_symlink(usb.devicePath, usb.byIdPath);
    w.cmdRefresh_Click();
    EXPECT_EQ(w.tblPorts.rows[2], (Row{"COM3", usb.byIdPath, "map", "present", "may be opened",
                                       "FT232R USB UART (0403:6001, serial A1, ftdi_sio)"}));

    w.cmdClear_Click();
    EXPECT_EQ(world.store.ReadSetting("Ports", "COM3"), "");
    EXPECT_EQ(world.serial.mapsSet.back()[2], "");
    const auto writes = world.store.writes.size();
    w.cmdClear_Click();
    EXPECT_EQ(world.store.writes.size(), writes) << "nothing assigned: nothing written";

    world.serial.devices.clear();
    world.serial.changed = true;
    main.SerialWatch_Timer();
    EXPECT_TRUE(w.tblDevices.rows.empty());
    EXPECT_EQ(w.tblDevices.emptyText, "No serial device found.");

    w.cmdClose_Click();
    EXPECT_FALSE(main.frmDevices);
    EXPECT_EQ(world.windows.closed, std::vector<WindowId>{WindowId::frmDevices});
}

// A typed path loses its blanks; an empty one or one that is not absolute is refused with
// a word.
TEST_F(DevicesTest, TypedPaths) {
    FrmDevices& w = Open();
    w.tblPorts_Click(4);
    for (const auto& [typed, stored] : {std::pair<std::string, std::string>{"ttyACM0", ""},
                                        {"  ", ""},
                                        {"  /dev/ttyACM0 ", "/dev/ttyACM0"}}) {
        w.txtPath_Change(typed);
        w.cmdAssign_Click();
        EXPECT_EQ(world.store.ReadSetting("Ports", "COM5"), stored) << typed;
        EXPECT_EQ(w.lblStatus.caption,
                  stored.empty() ? "Give a device path that starts with /." : "")
            << typed;
    }
}

// The communication window shows where the chosen entry leads; with nothing mapped and
// exactly one USB serial device plugged in, OK offers it (by its stable path), never silently.
TEST_F(DevicesTest, CommunicationWindowOffersTheOnlyDevice) {
    const struct {
        int devices;
        bool mapped, answer, asked;
    } cases[] = {{1, false, true, true},
                 {1, false, false, true},
                 {2, false, true, false},
                 {0, false, true, false},
                 {1, true, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.devices) + (c.mapped ? " mapped" : "") +
                     (c.answer ? " yes" : " no"));
        world.store.values.clear();
        world.windows.questions.clear();
        world.serial.map = {};
        world.serial.devices.assign(static_cast<std::size_t>(c.devices), usb);
        if (c.mapped)
            world.store.values[{"Ports", "COM9"}] = "/dev/ttyUSB9";
        world.windows.yesNoAnswers = {c.answer};
        main.mnuComm_Click();
        FrmComm& comm = *main.frmComm;
        EXPECT_EQ(comm.lblDevice.caption, "Device: " + dir / "ttyS0" + " (not present)");
        comm.Combo1_Select(0, 3);
        EXPECT_EQ(comm.lblDevice.caption, "Device: " + dir / "ttyS3" + " (not present)");
        comm.Command1_Click();
        ASSERT_FALSE(main.frmComm);
        EXPECT_EQ(world.windows.questions.size(), c.asked ? 1u : 0u);
        const bool stored = c.asked && c.answer;
        EXPECT_EQ(world.store.ReadSetting("Ports", "COM4"), stored ? usb.byIdPath : "");
        EXPECT_EQ(world.serial.MapPort(4).device, stored ? usb.byIdPath : dir / "ttyS3");
        if (c.asked) {
            EXPECT_EQ(world.windows.questions[0],
                      "No port is mapped to a device yet. Use the USB serial device FT232R USB "
                      "UART (0403:6001, serial A1, ftdi_sio) (" +
                          usb.byIdPath + ") as COM4?");
        }
    }
}

} // namespace
} // namespace kaprin
