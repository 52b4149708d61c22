// The main window's side of the communication window and the serial devices window.
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/frm_comm.h"
#include "kaprin/prefs/frm_devices.h"

namespace kaprin {

void FrmMain::mnuComm_Click() {
    if (!mnuComm.enabled)
        return;
    if (!frmComm) {
        frmComm = std::make_unique<FrmComm>(
            ports_, CommHost{lblPort, langTable, [this] { ChildWindow_Closed(WindowId::frmComm); },
                             [this] { mnuDevices_Click(); }});
        frmComm->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmComm);
}

void FrmMain::mnuDevices_Click() {
    if (!mnuDevices.enabled)
        return;
    if (!ports_.serial)
        return;
    if (!frmDevices) {
        frmDevices = std::make_unique<FrmDevices>(
            ports_, *ports_.serial, langTable, [this] { ChildWindow_Closed(WindowId::frmDevices); },
            [this] {
                if (frmComm)
                    frmComm->ShowDevice();
            });
        frmDevices->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmDevices);
}

void FrmMain::SerialWatch_Timer() {
    if (!ports_.serial || !ports_.serial->DevicesChanged())
        return;
    if (frmDevices)
        frmDevices->DevicesChanged();
    if (frmComm)
        frmComm->ShowDevice();
}

} // namespace kaprin
