#include "kaprin/prefs/device_texts.h"

#include <cstring>

namespace kaprin {

namespace {

struct English {
    DeviceText id;
    const char* text;
};

constexpr English kEnglish[] = {
    {DeviceText::SerialDevices, "Serial devices"},
    {DeviceText::Assign, "Assign"},
    {DeviceText::Clear, "Clear"},
    {DeviceText::Refresh, "Refresh"},
    {DeviceText::Close, "Close"},
    {DeviceText::DevicePath, "Device path"},
    {DeviceText::Detected, "Detected devices"},
    {DeviceText::ComPorts, "Ports"},
    {DeviceText::DevicesButton, "Devices..."},
    {DeviceText::Present, "present"},
    {DeviceText::NotPresent, "not present"},
    {DeviceText::MayOpen, "may be opened"},
    {DeviceText::NoAccess, "no permission"},
    {DeviceText::Default, "default"},
    {DeviceText::NoDevices, "No serial device found."},
    {DeviceText::NotAPath, "Give a device path that starts with /."},
    {DeviceText::StoredNoSerial, "no serial number: stored by its USB socket"},
    {DeviceText::StoredSameId, "another device has the same name: stored by its USB socket"},
    {DeviceText::NoPermission,
     "You may not open %1: it belongs to the group %2. Run \"sudo usermod -aG %2 $USER\", "
     "then log out and in again."},
    {DeviceText::NoPermissionNoGroup,
     "You may not open %1 (owner %2), and no group may read and write it. An administrator "
     "must grant you access, for instance with a udev rule."},
    {DeviceText::Busy, "%1 is in use by another program (process %2)."},
    {DeviceText::BusyNoPid, "%1 is in use by another program."},
    {DeviceText::Missing, "%1 does not exist. Is the adapter plugged in? Setup, Serial devices "
                          "shows the devices found."},
    {DeviceText::NotATerminal, "%1 is not a serial device."},
    {DeviceText::Failed, "%1 cannot be opened: %2."},
    {DeviceText::BadRate,
     "%1 does not take the rate of %2 baud. Choose another rate in Setup, Communication."},
    {DeviceText::FirstRunQuestion, "No port is mapped to a device yet. Use the USB serial device "
                                   "%2 (%3) as %1?"},
    {DeviceText::CommDevice, "Device: %1 (%2)"},
    {DeviceText::Console, "%1 is an active system console, where the system writes its messages: "
                          "it is not used for scanners. Choose another port."},
    {DeviceText::Removed, "%1 was removed during the transfer: the scanner did not get the whole "
                          "image. Connect it again and download once more."},
    {DeviceText::NotInList, "%1 is not in the list. Choose one of: %2."},
    {DeviceText::ColumnCom, "COM"},
    {DeviceText::ColumnDevice, "Device"},
    {DeviceText::ColumnSource, "Source"},
    {DeviceText::ColumnPresent, "Present"},
    {DeviceText::ColumnAccess, "Access"},
    {DeviceText::ColumnDescription, "Description"},
    {DeviceText::ColumnStoredAs, "Stored as"},
    {DeviceText::ColumnWhy, "Why"},
};

} // namespace

std::vector<DeviceText> AllDeviceTexts() {
    std::vector<DeviceText> ids;
    for (const English& e : kEnglish)
        ids.push_back(e.id);
    return ids;
}

std::string DeviceLangText(const LangTable& table, DeviceText id) {
    std::string text = table.Text(static_cast<std::int16_t>(id));
    if (!text.empty())
        return text;
    for (const English& e : kEnglish) {
        if (e.id == id)
            return e.text;
    }
    return {};
}

std::string FillText(std::string text, std::initializer_list<std::string> args) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const std::size_t n = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && n < args.size()) {
            out += *(args.begin() + n);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string PortProblemText(const PortState& s, const LangTable& table) {
    auto say = [&](DeviceText id, std::initializer_list<std::string> args) {
        return FillText(DeviceLangText(table, id), args);
    };
    switch (s.condition) {
    case PortCondition::Usable:
        return {};
    case PortCondition::Missing:
        return say(s.removed ? DeviceText::Removed : DeviceText::Missing, {s.device});
    case PortCondition::NoPermission:
        return s.group.empty() ? say(DeviceText::NoPermissionNoGroup,
                                     {s.device, s.owner.empty() ? "unknown" : s.owner})
                               : say(DeviceText::NoPermission, {s.device, s.group});
    case PortCondition::Busy:
        return s.holderPid > 0 ? say(DeviceText::Busy, {s.device, std::to_string(s.holderPid)})
                               : say(DeviceText::BusyNoPid, {s.device});
    case PortCondition::NotATerminal:
        return say(DeviceText::NotATerminal, {s.device});
    case PortCondition::BadRate:
        return say(DeviceText::BadRate, {s.device, std::to_string(s.baud)});
    case PortCondition::Console:
        return say(DeviceText::Console, {s.device});
    case PortCondition::Failed:
        break;
    }
    return say(DeviceText::Failed, {s.device, s.error ? std::strerror(s.error) : "unknown"});
}

std::string StoredByText(StoreBy by, const LangTable& table) {
    switch (by) {
    case StoreBy::PathNoSerial:
        return DeviceLangText(table, DeviceText::StoredNoSerial);
    case StoreBy::PathSameId:
        return DeviceLangText(table, DeviceText::StoredSameId);
    case StoreBy::Id:
    case StoreBy::Device:
        break;
    }
    return {};
}

} // namespace kaprin
