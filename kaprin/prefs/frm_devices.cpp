#include "kaprin/prefs/frm_devices.h"

#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/settings_keys.h"

namespace kaprin {

namespace {

constexpr std::size_t kMaxPath = 255; // the serial component's limit for a port name

} // namespace

FrmDevices::FrmDevices(Ports ports, SerialPorts& serial, const LangTable& texts,
                       std::function<void()> close, std::function<void()> mapChanged)
    : ports_(ports), serial_(serial), texts_(texts), close_(std::move(close)),
      mapChanged_(std::move(mapChanged)) {
    auto text = [&](DeviceText id) { return DeviceLangText(texts_, id); };
    Caption = text(DeviceText::SerialDevices);
    lblPorts.caption = text(DeviceText::ComPorts);
    lblDetected.caption = text(DeviceText::Detected);
    lblPath.caption = text(DeviceText::DevicePath);
    cmdAssign.caption = text(DeviceText::Assign);
    cmdClear.caption = text(DeviceText::Clear);
    cmdRefresh.caption = text(DeviceText::Refresh);
    cmdClose.caption = text(DeviceText::Close);
}

void FrmDevices::Form_Load() {
    // The port the library uses now is selected first.
    lstPorts.listIndex = comm::ReadPortPosition(ports_.settings);
    Fill();
}

void FrmDevices::Fill() {
    devices_ = serial_.Detect();
    const comm::PortMap map = comm::ReadPortMap(ports_.settings);
    auto text = [&](DeviceText id) { return DeviceLangText(texts_, id); };

    lstPorts.items.clear();
    for (int n = 1; n <= comm::kPorts; ++n) {
        const std::string path = serial_.MapPortName(n);
        std::string row = "COM" + std::to_string(n) + "  " + path;
        if (const std::string source = PortSource(n, map); source == "default")
            row += " (" + text(DeviceText::Default) + ")";
        else if (source != "map")
            row += " (" + source + ")";
        const DeviceFile file = InspectDeviceFile(path);
        if (!file.present) {
            row += " - " + text(DeviceText::NotPresent);
        } else {
            row += " - " + text(DeviceText::Present) + ", ";
            row += text(file.mayOpen ? DeviceText::MayOpen : DeviceText::NoAccess);
            if (const SerialDevice* d = FindDevice(devices_, path))
                row += " - " + DescribeDevice(*d);
        }
        lstPorts.items.push_back(row);
    }

    lstDevices.items.clear();
    for (const SerialDevice& d : devices_) {
        std::string row = d.devicePath + "  " + DescribeDevice(d);
        if (!d.byIdPath.empty())
            row += "  " + d.byIdPath;
        if (d.present && !d.mayOpen)
            row += " - " + text(DeviceText::NoAccess);
        lstDevices.items.push_back(row);
    }
    if (devices_.empty())
        lstDevices.items.push_back(text(DeviceText::NoDevices));
    lstDevices.listIndex = -1;
    lstPorts_Click(lstPorts.listIndex);
}

void FrmDevices::lstPorts_Click(int index) {
    lblStatus.caption.clear();
    if (index < 0 || index >= comm::kPorts) {
        lstPorts.listIndex = -1;
        return;
    }
    lstPorts.listIndex = index;
    // The permission sentence, without opening the device: opening some adapters resets
    // the board behind them.
    const std::string path = serial_.MapPortName(index + 1);
    const DeviceFile file = InspectDeviceFile(path);
    if (file.present && !file.mayOpen) {
        PortState state;
        state.condition = PortCondition::NoPermission;
        state.device = path;
        state.group = file.group;
        state.owner = file.owner;
        lblStatus.caption = PortProblemText(state, texts_);
    }
}

void FrmDevices::lstDevices_Click(int index) {
    if (index < 0 || index >= static_cast<int>(devices_.size()))
        return;
    lstDevices.listIndex = index;
    txtPath.text = StablePath(devices_[static_cast<std::size_t>(index)]);
}

void FrmDevices::txtPath_Change(const std::string& text) {
    txtPath.text = text;
}

void FrmDevices::cmdAssign_Click() {
    const std::string path = settings::Trim(txtPath.text);
    if (lstPorts.listIndex < 0 || path.empty())
        return;
    if (path[0] != '/' || path.size() > kMaxPath) {
        lblStatus.caption = DeviceLangText(texts_, DeviceText::NotAPath);
        return;
    }
    // A found device is stored by its stable path, so that it stays mapped in another socket.
    const SerialDevice* device = FindDevice(devices_, path);
    Store(lstPorts.listIndex + 1, device ? StablePath(*device) : path);
}

void FrmDevices::cmdClear_Click() {
    if (lstPorts.listIndex >= 0)
        Store(lstPorts.listIndex + 1, "");
}

void FrmDevices::Store(int portNumber, const std::string& path) {
    comm::WritePortMapEntry(ports_.settings, portNumber, path);
    serial_.SetPortMap(comm::ReadPortMap(ports_.settings));
    Fill();
    if (mapChanged_)
        mapChanged_();
}

void FrmDevices::cmdRefresh_Click() {
    Fill();
}

void FrmDevices::cmdClose_Click() {
    ports_.windows.CloseWindow(WindowId::frmDevices);
    close_(); // destroys this window's model
}

} // namespace kaprin
