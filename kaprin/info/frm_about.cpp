#include "kaprin/info/frm_about.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/info/file_info.h"

namespace kaprin {

std::string VersionText(int major, int minor, int revision) {
    return std::to_string(major) + "." + std::to_string(minor) + std::to_string(revision);
}

void FrmAbout::Form_Load() {
    Label2.caption = VersionText(kVersionMajor, kVersionMinor, kVersionRevision);
}

void FrmAbout::cmdOK_Click() {
    FrmMain& main = main_;
    main.ports().windows.CloseWindow(WindowId::frmAbout);
    main.ChildWindow_Closed(WindowId::frmAbout); // destroys this window's model
}

void FrmMain::mnuAbout__Click() {
    if (!frmAbout) {
        frmAbout = std::make_unique<FrmAbout>(*this);
        frmAbout->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmAbout);
}

void FrmMain::ShowHelp() {
    // The help page beside the program, in the desktop's browser. A missing page does
    // nothing, and so does a failure of the browser (the front end ignores it).
    const std::string path = programDir_ + "/Pelhelp.html";
    if (FileExists(path))
        ports_.windows.OpenHelp(path);
}

void FrmMain::mnuHelp_Click() {
    ShowHelp();
}

} // namespace kaprin
