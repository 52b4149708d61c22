// The About menu of the main window: the About window and the help page.
#include "kaprin/core/frm_main.h"
#include "kaprin/info/file_info.h"
#include "kaprin/info/frm_about.h"

namespace kaprin {

void FrmMain::mnuAbout__Click() {
    if (!frmAbout) {
        frmAbout = std::make_unique<FrmAbout>(ports_.windows,
                                              [this] { ChildWindow_Closed(WindowId::frmAbout); });
        frmAbout->Form_Load();
    }
    ports_.windows.ShowWindow(WindowId::frmAbout);
}

void FrmMain::ShowHelp() {
    // The help page beside the program, in the desktop's browser. A missing page does
    // nothing, and so does a failure of the browser (the front end ignores it).
    const std::string path = programDir() + "/Pelhelp.html";
    if (FileExists(path))
        ports_.windows.OpenHelp(path);
}

void FrmMain::mnuHelp_Click() {
    ShowHelp();
}

} // namespace kaprin
