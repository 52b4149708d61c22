#include "kaprin/prefs/frm_comm.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/settings_keys.h"

#include <cctype>

namespace kaprin {

namespace {

bool SameEntry(const std::string& typed, const std::string& entry) {
    auto first = typed.find_first_not_of(' ');
    auto last = typed.find_last_not_of(' ');
    if (first == std::string::npos)
        return false;
    const std::string t = typed.substr(first, last - first + 1);
    if (t.size() != entry.size())
        return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(t[i])) !=
            std::toupper(static_cast<unsigned char>(entry[i])))
            return false;
    }
    return true;
}

// The selected entry; a typed text counts when it names an entry.
int ChosenIndex(const ComboBox& combo) {
    if (combo.listIndex >= 0 && combo.listIndex < static_cast<int>(combo.entries.size()))
        return combo.listIndex;
    for (std::size_t i = 0; i < combo.entries.size(); ++i) {
        if (SameEntry(combo.text, combo.entries[i]))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

FrmComm::FrmComm(Ports ports, CommHost host) : ports_(ports), host_(std::move(host)) {
    for (int n = 1; n <= comm::kPorts; ++n)
        Combo1[0].entries.push_back(ComName(n));
    for (std::int32_t rate : comm::kBaudRates)
        Combo1[1].entries.push_back(std::to_string(rate));
    Combo1[2].text = "8";
    Combo1[3].text = "1";
    Combo1[4].text = "None";
    cmdDevices.caption = DeviceLangText(host_.texts, DeviceText::DevicesButton);
    lblDevice.visible = cmdDevices.visible = ports_.serial != nullptr;
}

void FrmComm::Form_Load() {
    // A stored position outside its list (never written by the utility) selects the
    // default entry.
    Combo1[0].Select(comm::ReadPortPosition(ports_.settings));
    Combo1[1].Select(comm::ReadRatePosition(ports_.settings));
    ShowDevice();
}

void FrmComm::Combo1_Select(int index, int entry) {
    if (index < 0 || index >= static_cast<int>(Combo1.size()))
        return;
    Combo1[static_cast<std::size_t>(index)].Select(entry);
    if (index == 0)
        ShowDevice();
}

void FrmComm::Combo1_Type(int index, const std::string& text) {
    if (index < 0 || index >= static_cast<int>(Combo1.size()))
        return;
    Combo1[static_cast<std::size_t>(index)].Type(text);
    if (index == 0)
        ShowDevice();
}

void FrmComm::ShowDevice() {
    const int port = ChosenIndex(Combo1[0]);
    if (!ports_.serial || port < 0) {
        lblDevice.caption.clear();
        return;
    }
    const std::string path = ports_.serial->MapPort(port + 1).device;
    const DeviceText presence =
        InspectDeviceFile(path).present ? DeviceText::Present : DeviceText::NotPresent;
    lblDevice.caption = FillText(DeviceLangText(host_.texts, DeviceText::CommDevice),
                                 {path, DeviceLangText(host_.texts, presence)});
}

void FrmComm::Command1_Click() {
    const int port = ChosenIndex(Combo1[0]);
    const int rate = ChosenIndex(Combo1[1]);
    // A typed text that names no entry: the window stays open and says what it takes.
    if (port < 0 || rate < 0) {
        const ComboBox& wrong = Combo1[port < 0 ? 0 : 1];
        std::string accepted;
        if (port < 0) {
            accepted = wrong.entries.front() + " - " + wrong.entries.back();
        } else {
            for (const std::string& entry : wrong.entries)
                accepted += (accepted.empty() ? "" : ", ") + entry;
        }
        ports_.windows.Warn(FillText(DeviceLangText(host_.texts, DeviceText::NotInList),
                                     {settings::Trim(wrong.text), accepted}));
        return;
    }
    OfferTheOnlyDevice(port + 1);
    ports_.pellin.usePort(port, comm::kBaudRates[rate]);
    host_.lblPort.caption = Combo1[0].entries[static_cast<std::size_t>(port)];
    comm::WriteChoice(ports_.settings, port, rate);
    ports_.windows.CloseWindow(WindowId::frmComm);
    host_.close(); // destroys this window's model
}

void FrmComm::Command2_Click() {
    ports_.windows.CloseWindow(WindowId::frmComm);
    host_.close(); // destroys this window's model
}

void FrmComm::cmdDevices_Click() {
    if (host_.openDevices)
        host_.openDevices();
}

void FrmComm::OfferTheOnlyDevice(int portNumber) {
    if (!ports_.serial || !comm::MapIsEmpty(comm::ReadPortMap(ports_.settings)))
        return;
    const std::vector<SerialDevice> devices = ports_.serial->Detect();
    const SerialDevice* only = nullptr;
    for (const SerialDevice& d : devices) {
        if (!d.usb || !d.present)
            continue;
        if (only)
            return; // more than one: the person chooses in the devices window
        only = &d;
    }
    if (!only)
        return;
    const SerialDevice& device = *only;
    const std::string path = StablePathOf(device, devices).path;
    const std::string question = FillText(DeviceLangText(host_.texts, DeviceText::FirstRunQuestion),
                                          {ComName(portNumber), DescribeDevice(device), path});
    if (!ports_.windows.AskYesNo(question))
        return;
    comm::WritePortMapEntry(ports_.settings, portNumber, path);
    ports_.serial->SetPortMap(comm::ReadPortMap(ports_.settings));
}

} // namespace kaprin
