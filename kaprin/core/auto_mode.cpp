// The automatic mode: watch the port, download into every device that shows up, wait
// until it is taken away, and alert the operator after too many failures in a row.
#include "kaprin/core/frm_main.h"

namespace kaprin {

void FrmMain::mnuAutoQuenlar_Click() {
    // Disabled while a manual run holds the port, or while the mode is being switched on.
    if (!mnuAutoQuenlar.enabled)
        return;
    if (mnuAutoQuenlar.checked) {
        if (mnuDTR.checked)
            SetPowerLine(false);
        if (mnuRTS.checked)
            SetBootLine(false);
        mnuAutoQuenlar.checked = false;
        t2.enabled = false;
        cmdStart.visible = true;
        SB1.panel1.clear();
        return;
    }
    if (mnuDTR.checked)
        SetPowerLine(true);
    if (mnuRTS.checked)
        SetBootLine(true);
    // The delay lets events run: neither a manual run nor a second switch may start
    // inside it.
    mnuAutoQuenlar.enabled = false;
    cmdStart.enabled = false;
    WaitMs(cboDelay.listIndex * 1000);
    mnuAutoQuenlar.enabled = true;
    cmdStart.enabled = true;
    AutoEndedBy.reset();
    mnuAutoQuenlar.checked = true;
    t2.enabled = true;
    cmdStart.visible = false;
}

void FrmMain::t2_Timer() {
    t2.enabled = false;
    SB1.panel1 = LangText(TextId::AutoLooking);
    for (;;) {
        const std::int16_t r = static_cast<std::int16_t>(ports_.pellin.CheckZ());
        if (r == -1) {
            // The port cannot be used: the mode ends; the line flags stay as they are.
            mnuAutoQuenlar.checked = false;
            cmdStart.visible = true;
            AutoEndedBy = RunResult::PortUnusable;
            ShowOutcome(DownloadOutcome{RunResult::PortUnusable});
            return;
        }
        if (r == 1)
            break;
        DoEvents();
        if (!mnuAutoQuenlar.checked)
            return;
    }

    DownloadOutcome outcome;
    if (ports_.pellin.CheckDevice() == 0) {
        SB1.panel1 = LangText(TextId::AutoLooking);
    } else if ((outcome = AutoLoadDevice()).result == RunResult::Refused) {
        // Every scanner would get the same refusal: the mode ends, saying why.
        mnuAutoQuenlar.checked = false;
        cmdStart.visible = true;
        AutoEndedBy = RunResult::Refused;
        return;
    } else if (outcome.result != RunResult::Finished) {
        ++AutoFailCount;
        if (AutoFailCount >= module1.AutoFailLimit) {
            ports_.windows.Beep();
            AutoFailCount = 0;
            ports_.windows.ShowMessage(LangText(TextId::AutoAlert));
        }
    } else {
        AutoFailCount = 0;
        if (module1.CmdMode == kCmdAutoClose) {
            // The front end closes the window once this step has returned; its close
            // request saves the run options.
            ports_.windows.CloseMainWindow();
            return;
        }
        // Wait until the device is taken away, or the mode is switched off.
        while (ports_.pellin.CheckDevice() != 0) {
            DoEvents();
            if (!mnuAutoQuenlar.checked)
                break;
        }
    }
    if (mnuAutoQuenlar.checked)
        t2.enabled = true;
}

DownloadOutcome FrmMain::AutoLoadDevice() {
    ClearStatus();
    if (txtSFile.text.empty())
        return DownloadOutcome{RunResult::NoFile};
    // Every automatic download ends with the shut-down frame; the start flag keeps the
    // value of the last manual run.
    ports_.pellin.BootShutDown(true);
    const DownloadOutcome outcome = Download(false);
    ShowOutcome(outcome);
    t1.enabled = false;
    SetAllLamps(kChaserPassed);
    return outcome;
}

} // namespace kaprin
