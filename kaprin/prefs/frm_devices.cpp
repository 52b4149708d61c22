#include "kaprin/prefs/frm_devices.h"

#include "kaprin/base/port_choice.h"
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
    for (DeviceText id :
         {DeviceText::ColumnCom, DeviceText::ColumnDevice, DeviceText::ColumnSource,
          DeviceText::ColumnPresent, DeviceText::ColumnAccess, DeviceText::ColumnDescription})
        tblPorts.columns.push_back(text(id));
    for (DeviceText id : {DeviceText::ColumnDevice, DeviceText::ColumnDescription,
                          DeviceText::ColumnStoredAs, DeviceText::ColumnWhy})
        tblDevices.columns.push_back(text(id));
    tblDevices.emptyText = text(DeviceText::NoDevices);
}

void FrmDevices::Form_Load() {
    // The port the library uses now is selected first.
    tblPorts.listIndex = comm::ReadPortPosition(ports_.settings);
    Fill();
}

void FrmDevices::Fill() {
    devices_ = serial_.Detect();
    auto text = [&](DeviceText id) { return DeviceLangText(texts_, id); };

    tblPorts.rows.clear();
    for (int n = 1; n <= comm::kPorts; ++n) {
        const PortMapping mapping = serial_.MapPort(n);
        const std::string source = mapping.source == PortSource::Default
                                       ? text(DeviceText::Default)
                                       : PortSourceText(n, mapping.source);
        const DeviceFile file = InspectDeviceFile(mapping.device);
        std::string access, description;
        if (file.present) {
            access = text(file.mayOpen ? DeviceText::MayOpen : DeviceText::NoAccess);
            if (const SerialDevice* d = FindDevice(devices_, mapping.device))
                description = DescribeDevice(*d);
        }
        tblPorts.rows.push_back({ComName(n), mapping.device, source,
                                 text(file.present ? DeviceText::Present : DeviceText::NotPresent),
                                 access, description});
    }

    tblDevices.rows.clear();
    for (const SerialDevice& d : devices_) {
        const StablePath stable = StablePathOf(d, devices_);
        tblDevices.rows.push_back(
            {d.devicePath, DescribeDevice(d), stable.path, StoredByText(stable.by, texts_)});
    }
    if (tblDevices.listIndex >= static_cast<int>(devices_.size()))
        tblDevices.listIndex = -1;
    tblPorts_Click(tblPorts.listIndex);
}

void FrmDevices::DevicesChanged() {
    Fill();
}

void FrmDevices::tblPorts_Click(int row) {
    lblStatus.caption.clear();
    if (row < 0 || row >= comm::kPorts) {
        tblPorts.listIndex = -1;
        return;
    }
    tblPorts.listIndex = row;
    // The permission sentence, without opening the device: opening some adapters resets
    // the board behind them.
    const std::string path = serial_.MapPort(row + 1).device;
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

void FrmDevices::tblDevices_Click(int row) {
    if (row < 0 || row >= static_cast<int>(devices_.size()))
        return;
    tblDevices.listIndex = row;
    txtPath.text = StablePathOf(devices_[static_cast<std::size_t>(row)], devices_).path;
}

void FrmDevices::txtPath_Change(const std::string& text) {
    txtPath.text = text;
}

void FrmDevices::cmdAssign_Click() {
    if (tblPorts.listIndex < 0)
        return;
    const std::string path = settings::Trim(txtPath.text);
    if (path.empty() || path[0] != '/' || path.size() > kMaxPath) {
        lblStatus.caption = DeviceLangText(texts_, DeviceText::NotAPath);
        return;
    }
    // A found device is stored by its stable path, so that it stays mapped after a re-plug.
    const SerialDevice* device = FindDevice(devices_, path);
    Store(tblPorts.listIndex + 1, device ? StablePathOf(*device, devices_).path : path);
}

void FrmDevices::cmdClear_Click() {
    if (tblPorts.listIndex < 0)
        return;
    const int number = tblPorts.listIndex + 1;
    if (comm::ReadPortMap(ports_.settings)[static_cast<std::size_t>(number - 1)].empty())
        return; // nothing assigned: nothing to write
    Store(number, "");
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
