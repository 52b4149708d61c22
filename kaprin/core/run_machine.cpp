#include "kaprin/core/run_machine.h"

#include "kaprin/core/run_panel.h"
#include "kaprin/prefs/device_texts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kaprin {

namespace {

namespace fs = std::filesystem;

DownloadOutcome Outcome(RunResult result, std::int32_t code = 0) {
    DownloadOutcome outcome;
    outcome.result = result;
    outcome.code = code;
    return outcome;
}

// A private copy of the image, made while the hash is taken, so that the bytes hashed
// are the bytes sent even when the file is replaced during the transfer. Removed with
// its folder when the transfer ends.
class PrivateImage {
public:
    explicit PrivateImage(const std::string& path) {
        std::error_code ec;
        if (!fs::is_regular_file(path, ec))
            return;
        std::string pattern = (fs::temp_directory_path(ec) / "kaprin-XXXXXX").string();
        if (ec || !::mkdtemp(pattern.data()))
            return;
        dir_ = pattern;
        const fs::path copy = fs::path(dir_) / fs::path(path).filename();
        if (fs::copy_file(path, copy, ec) && !ec)
            path_ = copy.string();
    }
    ~PrivateImage() {
        if (dir_.empty())
            return;
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    PrivateImage(const PrivateImage&) = delete;
    PrivateImage& operator=(const PrivateImage&) = delete;

    // Empty when no copy could be made.
    const std::string& path() const { return path_; }

private:
    std::string dir_, path_;
};

} // namespace

struct RunMachine::Transfer {
    DownloadRecord record;
    std::unique_ptr<PrivateImage> copy;
    std::uint32_t started = 0;
    std::int16_t block = 0, error = 0, percent = 0;
    std::int16_t shownBlock = -1, shownPercent = -1;
};

const char* RunStateName(RunState state) {
    switch (state) {
    case RunState::Idle:
        return "idle";
    case RunState::SwitchingAuto:
        return "switching-auto";
    case RunState::Delay:
        return "delay";
    case RunState::WaitDevice:
        return "wait-device";
    case RunState::AutoLooking:
        return "looking";
    case RunState::Transfer:
        return "transfer";
    case RunState::ShowFinish:
        return "show-finish";
    case RunState::WaitRemoval:
        return "wait-removal";
    case RunState::BackOff:
        return "back-off";
    }
    return "?";
}

std::uint32_t BackOffMs(int failures) {
    std::uint32_t ms = kBackOffFirstMs;
    for (int n = 1; n < failures && ms < kBackOffMaxMs; ++n)
        ms *= 2;
    return std::min(ms, kBackOffMaxMs);
}

// A step of the run. A box that a step opens (a question, the automatic mode's alert)
// lets the front end deliver events again; they wait until the step has returned.
class RunMachine::Step {
public:
    explicit Step(RunMachine& run) : run_(run), entered_(!run.inStep_) { run_.inStep_ = true; }
    ~Step() {
        if (entered_)
            run_.inStep_ = false;
    }
    explicit operator bool() const { return entered_; }

private:
    RunMachine& run_;
    bool entered_;
};

RunMachine::RunMachine(RunPanel& panel) : w_(panel) {}
RunMachine::~RunMachine() = default;

std::uint32_t RunMachine::Now() {
    return w_.ports().clock.TickCount();
}

void RunMachine::Enter(RunState state) {
    state_ = state;
    since_ = Now();
    tick.enabled = state != RunState::Idle;
    ++changes_;
    if (onChange)
        onChange();
}

void RunMachine::Finish(const DownloadOutcome& outcome) {
    last_ = outcome;
    if (state_ == RunState::Idle) {
        ++changes_;
        if (onChange)
            onChange();
    } else {
        Enter(RunState::Idle);
    }
}

// ---- Manual run -------------------------------------------------------------------------

void RunMachine::Start() {
    Step step(*this);
    if (!step)
        return;
    RunPanel& w = w_;
    // A disabled or hidden button is not clicked: no second run inside a running one.
    if (!w.cmdStart.enabled || !w.cmdStart.visible || Busy() || closeAsked_)
        return;
    w.ClearStatus();
    if (w.txtSFile.text.empty()) {
        Finish(Outcome(RunResult::NoFile));
        return;
    }
    autoRun_ = false;
    w.cmdStart.enabled = false;
    w.cmdStop.enabled = true;
    // The automatic mode's probes would use the port while this run holds it.
    w.mnuAutoQuenlar.enabled = false;
    if (w.mnuDTR.checked) {
        w.SetPowerLine(false);
        w.SetPowerLine(true);
    }
    waitMs_ = static_cast<std::uint32_t>(std::max(0, w.cboDelay.listIndex) * 1000);
    Enter(RunState::Delay);
    Advance();
}

void RunMachine::Stop() {
    RunPanel& w = w_;
    if (!w.cmdStop.enabled)
        return;
    w.cmdStart.enabled = true;
    w.cmdStop.enabled = false;
    w.ShowOutcome(Outcome(RunResult::Stopped));
    if (state_ == RunState::Delay || state_ == RunState::WaitDevice) {
        w.mnuAutoQuenlar.enabled = true;
        Finish(Outcome(RunResult::Stopped));
    }
}

void RunMachine::DelayDone() {
    if (w_.mnuRTS.checked) {
        w_.SetBootLine(false);
        w_.SetBootLine(true);
    }
    Enter(RunState::WaitDevice);
}

void RunMachine::PollDevice() {
    RunPanel& w = w_;
    w.SB1.panel1 = w.LangText(TextId::WaitingForDevice);
    const auto r = static_cast<std::int16_t>(w.ports().pellin.CheckZ());
    if (r == 0)
        Report({RunEvent::Kind::Waiting});
    if (r == -1) {
        w.cmdStop.enabled = false;
        w.ShowOutcome(Outcome(RunResult::PortUnusable));
        w.cmdStart.enabled = true;
        w.mnuAutoQuenlar.enabled = true;
        Finish(Outcome(RunResult::PortUnusable));
        return;
    }
    if (r != 1)
        return;
    w.cmdStop.enabled = false;
    w.ports().pellin.BootStart(w.mnuBotStart.checked);
    w.ports().pellin.BootShutDown(w.mnuBotShutDown.checked);
    DeviceFound();
}

// ---- Automatic mode ---------------------------------------------------------------------

void RunMachine::ToggleAuto() {
    Step step(*this);
    if (!step)
        return;
    RunPanel& w = w_;
    // Disabled while a manual run holds the port, or while the mode is being switched on.
    if (!w.mnuAutoQuenlar.enabled)
        return;
    if (w.mnuAutoQuenlar.checked) {
        w.mnuAutoQuenlar.checked = false;
        w.t2.enabled = false;
        if (TransferUnderWay()) {
            autoOffPending_ = true; // Start stays hidden until the transfer has ended
            return;
        }
        AutoOff();
        w.SB1.panel1.clear();
        if (Busy())
            Enter(RunState::Idle);
        return;
    }
    autoOffPending_ = false;
    backOffs_ = 0;
    if (w.mnuDTR.checked)
        w.SetPowerLine(true);
    if (w.mnuRTS.checked)
        w.SetBootLine(true);
    // Neither a manual run nor a second switch may start inside the delay.
    w.mnuAutoQuenlar.enabled = false;
    w.cmdStart.enabled = false;
    waitMs_ = static_cast<std::uint32_t>(std::max(0, w.cboDelay.listIndex) * 1000);
    Enter(RunState::SwitchingAuto);
    Advance();
}

void RunMachine::AutoOff() {
    RunPanel& w = w_;
    if (w.mnuDTR.checked)
        w.SetPowerLine(false);
    if (w.mnuRTS.checked)
        w.SetBootLine(false);
    w.cmdStart.visible = true;
    autoOffPending_ = false;
}

// Every scanner would meet the same (an unusable port, a refused image): the mode ends,
// saying why; the line flags stay as they are.
void RunMachine::EndAutoBy(const DownloadOutcome& outcome) {
    w_.mnuAutoQuenlar.checked = false;
    w_.cmdStart.visible = true;
    w_.AutoEndedBy = outcome.result;
    Finish(outcome);
}

void RunMachine::Look() {
    Step step(*this);
    if (!step)
        return;
    RunPanel& w = w_;
    w.t2.enabled = false;
    if (Busy() || !w.mnuAutoQuenlar.checked)
        return;
    w.SB1.panel1 = w.LangText(TextId::AutoLooking);
    autoRun_ = true;
    Enter(RunState::AutoLooking);
    LookOnce();
}

void RunMachine::LookOnce() {
    RunPanel& w = w_;
    const auto r = static_cast<std::int16_t>(w.ports().pellin.CheckZ());
    if (r == 0)
        Report({RunEvent::Kind::Waiting});
    if (r == -1) {
        w.ShowOutcome(Outcome(RunResult::PortUnusable));
        EndAutoBy(Outcome(RunResult::PortUnusable));
        return;
    }
    if (r != 1)
        return;
    if (w.ports().pellin.CheckDevice() == 0) {
        w.SB1.panel1 = w.LangText(TextId::AutoLooking);
        Enter(RunState::Idle);
        ReArm();
        return;
    }
    w.ClearStatus();
    if (w.txtSFile.text.empty()) {
        transfer_ = Outcome(RunResult::NoFile);
        w.ShowOutcome(transfer_);
        AfterAuto();
        return;
    }
    // Every automatic download ends with the shut-down frame; the start flag keeps the
    // value of the last manual run.
    w.ports().pellin.BootShutDown(true);
    DeviceFound();
}

void RunMachine::ReArm() {
    if (w_.mnuAutoQuenlar.checked && !closeAsked_)
        w_.t2.enabled = true;
}

void RunMachine::AfterAuto() {
    RunPanel& w = w_;
    w.RunChaser(false);
    w.SetAllLamps(kChaserPassed);
    const DownloadOutcome outcome = transfer_;
    if (outcome.result != RunResult::Finished) {
        Finish(outcome);
        // Nothing was sent: the image fails every scanner alike until someone mends it.
        if (!outcome.Transferred())
            BeginBackOff();
        else
            backOffs_ = 0;
        if (++w.AutoFailCount >= w.module1.AutoFailLimit) {
            w.ports().messages.Beep();
            w.AutoFailCount = 0;
            w.ports().messages.ShowMessage(w.LangText(TextId::AutoAlert), MessageKind::Warning);
        }
        if (state_ != RunState::BackOff)
            ReArm();
        return;
    }
    backOffs_ = 0;
    w.AutoFailCount = 0;
    if (w.module1.CmdMode == kCmdAutoClose) {
        Finish(outcome);
        // The front end ends the program once this step has returned; its close
        // request saves the run options.
        w.EndAfterRun();
        return;
    }
    last_ = outcome;
    removalMisses_ = 0;
    Enter(RunState::WaitRemoval);
    CheckRemoval();
}

void RunMachine::CheckRemoval() {
    if (!w_.mnuAutoQuenlar.checked) {
        Enter(RunState::Idle);
        return;
    }
    if (w_.ports().pellin.CheckDevice() != 0) {
        removalMisses_ = 0;
        return;
    }
    if (++removalMisses_ < kRemovalChecks)
        return;
    Enter(RunState::Idle);
    ReArm();
}

RunMachine::FileStamp RunMachine::StampOf(const std::string& path) {
    FileStamp stamp;
    stamp.path = path;
    struct stat st {};
    // The folder's entries come and go with other stations' conversions; only its
    // permissions count (a read-only folder made writable).
    const std::string folder = fs::path(path).parent_path().string();
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) == 0) {
        stamp.folderMode = st.st_mode;
        stamp.owner = (std::uint64_t{st.st_uid} << 32) | st.st_gid;
    }
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modified = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = std::int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

void RunMachine::BeginBackOff() {
    RunPanel& w = w_;
    waitMs_ = BackOffMs(++backOffs_);
    stamp_ = StampOf(w.txtSFile.text);
    std::string& shown = w.SB1.panel1;
    std::string next = w.LangText(TextId::NextTry);
    if (next.empty()) // a language file from before the pause
        next = "Next try in %1 s.";
    shown += (shown.empty() ? "" : " ") + FillText(next, {std::to_string(waitMs_ / 1000)});
    Enter(RunState::BackOff);
    lookedAt_ = since_;
    Report({RunEvent::Kind::Paused, shown, 0, 0, waitMs_});
}

// The pause ends when its time is up, or at once when the image's file changes; a changed
// image starts the doubling afresh.
void RunMachine::CheckBackOff() {
    const std::uint32_t now = Now();
    bool over = now - since_ >= waitMs_;
    if (!over && now - lookedAt_ >= kImageLookMs) {
        lookedAt_ = now;
        if (!(StampOf(w_.txtSFile.text) == stamp_)) {
            backOffs_ = 0;
            over = true;
        }
    }
    if (!over)
        return;
    w_.SB1.panel1 = w_.LangText(TextId::AutoLooking);
    Enter(RunState::Idle);
    ReArm();
}

// ---- The download both modes share ------------------------------------------------------

void RunMachine::DeviceFound() {
    RunPanel& w = w_;
    Report({RunEvent::Kind::DeviceFound});
    sentFile_ = w.txtSFile.text;
    std::optional<DownloadOutcome> refused = w.PrepareLoad();
    if (!refused && !autoRun_ && w.mnuQuenlar.checked &&
        !w.ports().messages.AskYesNo(w.LangText(TextId::StartTransfer)))
        refused = Outcome(RunResult::Declined);
    if (refused) {
        transfer_ = *refused;
        w.ShowOutcome(transfer_);
        if (autoRun_ && transfer_.result == RunResult::Refused) {
            w.RunChaser(false);
            EndAutoBy(transfer_);
        } else if (autoRun_) {
            AfterAuto();
        } else if (transfer_.result == RunResult::Declined) {
            // Lamps and line flags stay as they are.
            w.cmdStart.enabled = true;
            w.mnuAutoQuenlar.enabled = true;
            w.ShowFileTimes(w.txtSFile.text);
            Finish(transfer_);
        } else {
            AfterManual();
        }
        return;
    }
    w.RunChaser(true);
    BeginTransfer();
}

void RunMachine::BeginTransfer() {
    RunPanel& w = w_;
    auto& pellin = w.ports().pellin;
    t_ = std::make_unique<Transfer>();
    t_->record.portIndex = w.PortIndex();
    t_->record.image = w.LoadFile;
    std::string sent = w.LoadFile;
    if (auto* record = w.ports().record) {
        t_->copy = std::make_unique<PrivateImage>(w.LoadFile);
        if (!t_->copy->path().empty())
            sent = t_->copy->path();
        t_->record.imageSha256 = record->ImageDigest(sent);
    }
    w.cmdStart.enabled = false;
    Lock(true);
    ShowMark(false);
    t_->started = Now();
    if (w.optFont.checked)
        pellin.FontLoad(sent);
    else
        pellin.BotLoad(sent);
    t_->block = static_cast<std::int16_t>(pellin.getBlock());
    t_->error = static_cast<std::int16_t>(pellin.getError());
    t_->percent = static_cast<std::int16_t>(pellin.getPercent());
    Enter(RunState::Transfer);
    ReportProgress();
    if (PollTransfer())
        EndTransfer(t_->error == 0 ? RecordOutcome::Ok : RecordOutcome::Failed);
}

// One poll of the library; true when the transfer has ended.
bool RunMachine::PollTransfer() {
    RunPanel& w = w_;
    auto& pellin = w.ports().pellin;
    Transfer& t = *t_;
    if (t.percent == 100) {
        // The library publishes its code before the final percent: read it once more so
        // that a job that failed at its very end is not reported as finished. (A code
        // already read is not read again: reading clears it.)
        if (t.error == 0)
            t.error = static_cast<std::int16_t>(pellin.getError());
        return true;
    }
    if (t.error != 0)
        return true;
    t.percent = static_cast<std::int16_t>(pellin.getPercent());
    t.block = static_cast<std::int16_t>(pellin.getBlock());
    t.error = static_cast<std::int16_t>(pellin.getError());
    t.percent = std::clamp<std::int16_t>(t.percent, 0, 100);
    w.PB1.value = t.percent;
    w.SB1.panel1 = w.LangText(TextId::BlockBefore) + " " + std::to_string(t.block) + " " +
                   w.LangText(TextId::BlockAfter);
    w.SB1.panel2 = std::to_string(t.percent) + "%";
    ReportProgress();
    return false;
}

// Once per change: the front end polls faster than the library moves on.
void RunMachine::ReportProgress() {
    Transfer& t = *t_;
    if (t.percent < 0 || t.block < 0 || (t.percent == t.shownPercent && t.block == t.shownBlock))
        return;
    t.shownPercent = t.percent;
    t.shownBlock = t.block;
    Report({RunEvent::Kind::Progress, {}, std::min<int>(t.percent, 100), t.block});
}

void RunMachine::EndTransfer(RecordOutcome how) {
    RunPanel& w = w_;
    Transfer& t = *t_;
    // The time is taken at the poll that saw the end, whatever was open meanwhile.
    t.record.outcome = how;
    t.record.code = how == RecordOutcome::Failed ? t.error : 0;
    t.record.blocks = t.block;
    t.record.durationMs = Now() - t.started;
    if (auto* record = w.ports().record) {
        record->Write(t.record);
        Report({RunEvent::Kind::Outcome});
    }
    transfer_ = Outcome(t.error == 0 ? RunResult::Finished : RunResult::TransferFailed, t.error);
    transfer_.blocks = t.block;
    transfer_.percent = t.percent;
    transfer_.durationMs = t.record.durationMs;
    t_.reset();
    if (how == RecordOutcome::Interrupted)
        return;
    ++(transfer_.result == RunResult::Finished ? good_ : failed_);
    w.ShowOutcome(transfer_);
    if (transfer_.result == RunResult::Finished) {
        // The operator sees the good end before anything else happens.
        Enter(RunState::ShowFinish);
        return;
    }
    AfterShow();
}

void RunMachine::AfterShow() {
    RunPanel& w = w_;
    w.SB1.panel2.clear();
    w.PB1.value = 0;
    Lock(false);
    ShowMark(true);
    if (autoOffPending_)
        AutoOff();
    w.cmdStart.enabled = true;
    if (autoRun_)
        AfterAuto();
    else
        AfterManual();
}

void RunMachine::AfterManual() {
    RunPanel& w = w_;
    if (transfer_.Transferred()) {
        w.AddRecentFile(sentFile_);
        w.SetPowerLine(false);
        w.SetBootLine(false);
    }
    w.RunChaser(false);
    w.SetAllLamps(kChaserPassed);
    w.cmdStart.enabled = true;
    w.mnuAutoQuenlar.enabled = true;
    w.ShowFileTimes(w.txtSFile.text);
    Finish(transfer_);
}

// ---- Ticks ------------------------------------------------------------------------------

void RunMachine::Advance() {
    const std::uint32_t elapsed = Now() - since_;
    switch (state_) {
    case RunState::Delay:
        if (elapsed < waitMs_)
            return;
        DelayDone();
        PollDevice();
        return;
    case RunState::SwitchingAuto:
        if (elapsed < waitMs_)
            return;
        w_.mnuAutoQuenlar.enabled = true;
        w_.cmdStart.enabled = true;
        w_.AutoEndedBy.reset();
        w_.mnuAutoQuenlar.checked = true;
        w_.cmdStart.visible = false;
        Enter(RunState::Idle);
        w_.t2.enabled = true;
        return;
    default:
        return;
    }
}

void RunMachine::Tick() {
    Step step(*this);
    if (!step)
        return;
    switch (state_) {
    case RunState::Idle:
        tick.enabled = false;
        return;
    case RunState::Delay:
    case RunState::SwitchingAuto:
        Advance();
        return;
    case RunState::WaitDevice:
        PollDevice();
        return;
    case RunState::AutoLooking:
        LookOnce();
        return;
    case RunState::Transfer:
        if (PollTransfer())
            EndTransfer(t_->error == 0 ? RecordOutcome::Ok : RecordOutcome::Failed);
        return;
    case RunState::ShowFinish:
        if (Now() - since_ >= kFinishShowMs)
            AfterShow();
        return;
    case RunState::WaitRemoval:
        CheckRemoval();
        return;
    case RunState::BackOff:
        CheckBackOff();
        return;
    }
}

// ---- Close ------------------------------------------------------------------------------

bool RunMachine::RequestClose() {
    RunPanel& w = w_;
    if (closeAsked_) {
        if (state_ == RunState::Transfer) {
            EndTransfer(RecordOutcome::Interrupted);
            w.RunChaser(false);
        }
        if (!unlocked_.empty())
            Lock(false);
        Enter(RunState::Idle);
        return true;
    }
    closeAsked_ = true;
    w.Form_QueryUnload();
    if (TransferUnderWay()) {
        w.SB1.panel3 = "Finishing the download; close again to end at once";
        ++changes_;
        if (onChange)
            onChange();
        return false;
    }
    if (Busy())
        Enter(RunState::Idle);
    return true;
}

// ---- What stays visible -----------------------------------------------------------------

void RunMachine::Lock(bool locked) {
    RunPanel& w = w_;
    const std::vector<bool*> flags = w.TransferLocks();
    if (locked) {
        unlocked_.clear();
        for (bool* flag : flags) {
            unlocked_.push_back(*flag);
            *flag = false;
        }
        return;
    }
    for (std::size_t i = 0; i < flags.size() && i < unlocked_.size(); ++i)
        *flags[i] = unlocked_[i];
    unlocked_.clear();
}

void RunMachine::ShowMark(bool withMark) {
    StatusBar& sb = w_.SB1;
    std::string counts = std::to_string(good_) + " good, " + std::to_string(failed_) + " failed";
    if (!withMark) {
        sb.panel3 = counts;
        sb.panel3Colour = {};
        return;
    }
    const bool passed = transfer_.result == RunResult::Finished;
    sb.panel3 = (passed ? "PASS  " : "FAIL  ") + counts;
    sb.panel3Colour = passed ? Rgb{0, 128, 0} : Rgb{192, 0, 0};
}

} // namespace kaprin
