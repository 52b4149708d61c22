#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/serial_devices.h"
#include "kaprin/prefs/serial_line.h"

#include "fakes.h"

#include <gtest/gtest.h>

#include <set>

namespace kaprin {
namespace {

// Two adapters that give the same serial number share one by-id link, which leads to
// whichever enumerated last: each is stored by its socket, and found again by it.
TEST(StablePathOf, ASharedByIdNameFallsBackToTheSocket) {
    std::vector<SerialDevice> twins(2);
    for (std::size_t i = 0; i < twins.size(); ++i) {
        twins[i].devicePath = "/dev/ttyUSB" + std::to_string(i);
        twins[i].serial = "0001";
        twins[i].byIdPath = "/dev/serial/by-id/usb-Same_0001-if00-port0";
        twins[i].byPathPath = "/dev/serial/by-path/usb-0:" + std::to_string(i) + ":1.0-port0";
    }
    for (const SerialDevice& d : twins) {
        const StablePath stable = StablePathOf(d, twins);
        EXPECT_EQ(stable.path, d.byPathPath);
        EXPECT_EQ(stable.by, StoreBy::PathSameId);
        EXPECT_EQ(FindDevice(twins, stable.path), &d);
    }
    EXPECT_EQ(StablePathOf(twins[0], {twins[0]}).by, StoreBy::Id) << "alone, the name is its own";
}

// Each reason a port cannot be used has its own sentence naming the device; a forbidden
// device also names its group and the fix, a busy one the holder; a usable port has none.
TEST(PortProblemText, SaysWhyAndWhatToDo) {
    LangTable english; // no file loaded: the built-in English texts
    const std::string dev = "/dev/ttyUSB0";
    EXPECT_EQ(PortProblemText({PortCondition::Usable, 0, 0, dev, "dialout", "", 9600}, english),
              "");
    std::set<std::string> texts;
    for (auto c : {PortCondition::Missing, PortCondition::NoPermission, PortCondition::Busy,
                   PortCondition::NotATerminal, PortCondition::Failed, PortCondition::BadRate,
                   PortCondition::Console}) {
        const std::string text = PortProblemText({c, 5, 0, dev, "", "", 230400}, english);
        EXPECT_NE(text.find(dev), std::string::npos) << text;
        EXPECT_TRUE(texts.insert(text).second) << text;
    }
    EXPECT_EQ(
        PortProblemText({PortCondition::NoPermission, 13, 0, dev, "dialout", "", 9600}, english),
        "You may not open /dev/ttyUSB0: it belongs to the group dialout. Run \"sudo usermod "
        "-aG dialout $USER\", then log out and in again.");
    EXPECT_EQ(PortProblemText({PortCondition::NoPermission, 13, 0, dev, "", "root"}, english),
              "You may not open /dev/ttyUSB0 (owner root), and no group may read and write it. An "
              "administrator must grant you access, for instance with a udev rule.");
    LangTable chinese;
    chinese.LoadText("#1522 %1 正被其他程式使用（程序 %2）。\n");
    EXPECT_EQ(PortProblemText({PortCondition::Busy, 16, 4242, dev, "", "", 9600}, chinese),
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
// and rate the library was given, and the library's answer passes through unchanged.
TEST(SerialLine, AsksWhyOnlyWhenThePortCannotBeUsed) {
    test::FakePellin library;
    test::FakeSerial serial;
    serial.probes["COM3"] = {PortCondition::Busy, 16, 77, "/dev/ttyUSB0", ""};
    SerialLine line(library, &serial);
    std::vector<PortState> problems;
    line.onProblem = [&](const PortState& s) { problems.push_back(s); };
    line.usePort(2, 9600);
    library.checkZ = {0, 1, -1};
    EXPECT_EQ(line.CheckZ(), 0);
    EXPECT_EQ(line.CheckZ(), 1);
    EXPECT_TRUE(serial.probed.empty());
    EXPECT_EQ(line.CheckZ(), -1);
    EXPECT_EQ(serial.probed, std::vector<std::string>{"COM3"});
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].holderPid, 77);
    EXPECT_EQ(problems[0].baud, 9600);
    // The port is free again by the time it is probed: nothing to explain.
    line.usePort(0, 9600);
    EXPECT_EQ(line.CheckZ(), -1);
    EXPECT_EQ(problems.size(), 1u);
}

// A time-out on a device that has gone is reported as removed; one on a device still there,
// and every other code, pass without a word.
TEST(SerialLine, TimeOutOnAGoneDeviceSaysRemoved) {
    test::FakePellin library;
    test::FakeSerial serial;
    serial.probes["COM1"] = {PortCondition::Missing, 2, 0, "/dev/ttyUSB0", ""};
    SerialLine line(library, &serial);
    std::vector<std::string> said;
    LangTable english;
    line.onProblem = [&](const PortState& s) { said.push_back(PortProblemText(s, english)); };
    line.usePort(0, 9600);
    library.errors = {4, 1};
    EXPECT_EQ(line.getError(), 4);
    EXPECT_EQ(line.getError(), 1);
    serial.probes["COM1"].condition = PortCondition::Usable;
    library.errors = {1};
    EXPECT_EQ(line.getError(), 1);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("/dev/ttyUSB0 was removed during the transfer", 0), 0u) << said[0];
}

// The stored rate, the map and the one reading of a COM name.
TEST(CommSettings, StoredTextsReadBack) {
    test::MemoryStore store;
    for (auto [text, rate] : std::vector<std::pair<std::string, std::int32_t>>{
             {"0", 9600}, {"4", 115200}, {"", 115200}, {"250000", 250000}, {"-5", -5}}) {
        store.values[{"Comm", "BAUD RATE"}] = text;
        EXPECT_EQ(comm::ReadBaudRate(store), rate) << text;
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
