#include "kaprin/info/frm_about.h"

#include "kaprin/version.h"

namespace kaprin {

std::string VersionText(int major, int minor, int revision) {
    return std::to_string(major) + "." + std::to_string(minor) + std::to_string(revision);
}

void FrmAbout::Form_Load() {
    Label2.caption = VersionText(kVersionMajor, kVersionMinor, kVersionRevision);
}

void FrmAbout::cmdOK_Click() {
    windows_.CloseWindow(WindowId::frmAbout);
    auto closed = closed_; // the call may destroy this window's model
    closed();
}

} // namespace kaprin
