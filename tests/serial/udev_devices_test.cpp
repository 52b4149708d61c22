// Detection and the watch of serial devices through udev, on umockdev test beds whose
// devices carry the sysfs attributes and udev properties real adapters have.
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/frm_devices.h"
#include "kaprin/serial/system_serial_ports.h"
#include "kaprin/serial/udev_devices.h"

#include "fakes.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace kaprin {
namespace {

// A test bed of its own for each test; libudev sees only it while it lives.
struct TestBed {
    const char* preload = std::getenv("LD_PRELOAD");
    bool preloaded = preload && std::string(preload).find("umockdev") != std::string::npos;
    UMockdevTestbed* bed = preloaded ? umockdev_testbed_new() : nullptr;
    ~TestBed() {
        if (bed)
            g_object_unref(bed);
    }
    // A USB adapter in `socket`: the USB device with its strings (null: it reports none),
    // the tty below it with the properties and links udev gives it.
    std::string Usb(const char* socket, const char* tty, const char* ids, const char* maker,
                    const char* name, const char* serial, const char* driver, const char* byId,
                    const char* vendorDb, const char* modelDb) {
        const std::string vendor(ids, 4), product(ids + 5);
        const Owned usb{umockdev_testbed_add_device(bed, "usb", socket, nullptr, "idVendor",
                                                    vendor.c_str(), "idProduct", product.c_str(),
                                                    nullptr, "DEVTYPE", "usb_device", nullptr)};
        for (auto [attribute, value] :
             {std::pair{"manufacturer", maker}, {"product", name}, {"serial", serial}}) {
            if (value)
                umockdev_testbed_set_attribute(bed, usb.path, attribute, value);
        }
        const std::string node = "/dev/" + std::string(tty);
        const std::string links =
            "/dev/serial/by-path/pci-0000:00:14.0-usb-0:" + std::string(socket) +
            ":1.0-port0 /dev/serial/by-id/" + byId;
        const Owned added{umockdev_testbed_add_device(
            bed, "tty", tty, usb.path, "dev", "188:0", nullptr, "DEVNAME", node.c_str(),
            "ID_USB_DRIVER", driver, "DEVLINKS", links.c_str(), "ID_VENDOR_FROM_DATABASE", vendorDb,
            "ID_MODEL_FROM_DATABASE", modelDb, nullptr)};
        return added.path;
    }
    struct Owned {
        gchar* path;
        ~Owned() { g_free(path); }
    };
};

#define SKIP_WITHOUT_TEST_BED(bed)                                                                 \
    if (!(bed).preloaded)                                                                          \
    GTEST_SKIP() << "run under umockdev-wrapper (ctest does)"

// The five kinds of port a desk or a line meets, and what each is found and stored as:
// an FTDI adapter with a serial number, two CH340s without one (their by-id names collide;
// only the hardware database names them), an ACM device, an on-board 16550 port; a console
// and a platform's phantom 8250 port are left out.
TEST(UdevDetection, FindsAndNamesEachKindOfPort) {
    TestBed t;
    SKIP_WITHOUT_TEST_BED(t);
    const char* ch340Id = "usb-1a86_USB_Serial-if00-port0";
    t.Usb("1", "ttyUSB0", "0403:6001", "FTDI", "FT232R USB UART", "A10K5", "ftdi_sio",
          "usb-FTDI_FT232R_USB_UART_A10K5-if00-port0",
          "Future Technology Devices International, Ltd", "FT232 Serial (UART) IC");
    for (auto [socket, tty] : {std::pair{"2", "ttyUSB1"}, {"3", "ttyUSB2"}})
        t.Usb(socket, tty, "1a86:7523", nullptr, nullptr, nullptr, "ch341", ch340Id,
              "QinHeng Electronics", "CH340 serial converter");
    t.Usb("4", "ttyACM0", "2341:0043", "Arduino", "Arduino Uno", "8573", "cdc_acm",
          "usb-Arduino_Arduino_Uno_8573-if00", "Arduino SA", "Uno (CDC ACM)");
    const TestBed::Owned pnp{
        umockdev_testbed_add_device(t.bed, "pnp", "00:04", nullptr, nullptr, nullptr)};
    umockdev_testbed_set_attribute_link(t.bed, pnp.path, "driver", "../../bus/pnp/drivers/serial");
    const TestBed::Owned platform{umockdev_testbed_add_device(
        t.bed, "platform", "platform/serial8250", nullptr, nullptr, nullptr)};
    for (auto [parent, tty] : {std::pair{pnp.path, "ttyS0"},
                               {platform.path, "ttyS4"},
                               {static_cast<gchar*>(nullptr), "tty0"}}) {
        const std::string node = "/dev/" + std::string(tty);
        g_free(umockdev_testbed_add_device(t.bed, "tty", tty, parent, "dev", "4:64", nullptr,
                                           "DEVNAME", node.c_str(), nullptr));
    }

    const std::vector<SerialDevice> devices = DetectUdevSerialDevices();
    const std::string byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:";
    const struct {
        std::string node, description, stored;
        StoreBy by;
    } expected[] = {
        {"/dev/ttyACM0", "Arduino Uno (2341:0043, serial 8573, cdc_acm)",
         "/dev/serial/by-id/usb-Arduino_Arduino_Uno_8573-if00", StoreBy::Id},
        {"/dev/ttyS0", "serial port (serial)", "/dev/ttyS0", StoreBy::Device},
        {"/dev/ttyUSB0", "FTDI FT232R USB UART (0403:6001, serial A10K5, ftdi_sio)",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5-if00-port0", StoreBy::Id},
        {"/dev/ttyUSB1", "QinHeng Electronics CH340 serial converter (1a86:7523, ch341)",
         byPath + "2:1.0-port0", StoreBy::PathNoSerial},
        {"/dev/ttyUSB2", "QinHeng Electronics CH340 serial converter (1a86:7523, ch341)",
         byPath + "3:1.0-port0", StoreBy::PathNoSerial},
    };
    ASSERT_EQ(devices.size(), std::size(expected));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(expected[i].node);
        EXPECT_EQ(devices[i].devicePath, expected[i].node);
        EXPECT_EQ(DescribeDevice(devices[i]), expected[i].description);
        const StablePath stable = StablePathOf(devices[i], devices);
        EXPECT_EQ(stable.path, expected[i].stored);
        EXPECT_EQ(stable.by, expected[i].by);
    }
}

// An adapter plugged in and pulled out shows in the open Serial devices window within a
// second, without Refresh.
TEST(UdevWatch, TheDevicesWindowFollowsPlugAndUnplug) {
    TestBed t;
    SKIP_WITHOUT_TEST_BED(t);
    test::FakeWorld world;
    SystemSerialPorts serial;
    Ports ports = world.ports();
    ports.serial = &serial;
    FrmMain main{ports, "/nonexistent", ""};
    main.mnuDevices_Click();
    ASSERT_TRUE(main.frmDevices);
    const Table& found = main.frmDevices->tblDevices;
    ASSERT_TRUE(found.rows.empty());

    auto within = [&main](const std::function<bool()>& done) {
        for (int tick = 0; tick < 20 && !done(); ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            main.SerialWatch_Timer();
        }
        return done();
    };
    const std::string tty = t.Usb("1", "ttyUSB0", "0403:6001", "FTDI", "FT232R USB UART", "A10K5",
                                  "ftdi_sio", "usb-FTDI", "", "");
    umockdev_testbed_uevent(t.bed, tty.c_str(), "add");
    ASSERT_TRUE(within([&] { return found.rows.size() == 1; }));
    EXPECT_EQ(found.rows[0][0], "/dev/ttyUSB0");

    umockdev_testbed_uevent(t.bed, tty.c_str(), "remove");
    umockdev_testbed_remove_device(t.bed, tty.c_str());
    EXPECT_TRUE(within([&] { return found.rows.empty(); }));
}

} // namespace
} // namespace kaprin
