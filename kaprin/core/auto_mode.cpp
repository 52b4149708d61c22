// The main window's side of the automatic mode; the mode's steps are the run machine's.
#include "kaprin/core/frm_main.h"

namespace kaprin {

void FrmMain::mnuAutoQuenlar_Click() {
    run.ToggleAuto();
}

void FrmMain::t2_Timer() {
    run.Look();
}

} // namespace kaprin
