// The main window's activation. Kept apart from start-up: it reaches the automatic
// mode, which lives with the download run.
#include "kaprin/core/frm_main.h"

namespace kaprin {

void FrmMain::Form_Activate() {
    if (RunCommandLineAction())
        mnuAutoQuenlar_Click(); // with the mode off, this switches it on
}

} // namespace kaprin
