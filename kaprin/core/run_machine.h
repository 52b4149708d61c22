// The owner of "a download is under way": the manual run, the automatic mode, the
// transfer and the close request as explicit states. Nothing here waits: each front end
// delivers the clicks, the automatic mode's timer t2 and the run's own timer `tick`, and
// every call returns at once, so the library is polled whatever box is open.
#pragma once

#include "kaprin/base/control.h"
#include "kaprin/base/ports.h"
#include "kaprin/core/download_run.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kaprin {

class RunPanel;

enum class RunState {
    Idle,
    SwitchingAuto, // the delay before the automatic mode looks for the first device
    Delay,         // a manual run's delay after the power line
    WaitDevice,    // a manual run asks the port until the device answers
    AutoLooking,   // the automatic mode asks the port until a device answers
    Transfer,      // the library sends the image; polled at every tick
    ShowFinish,    // a good end stays up briefly before anything else happens
    WaitRemoval,   // the automatic mode waits until the device is taken away
    BackOff,       // the automatic mode's image failed again: a pause before the next look
};

const char* RunStateName(RunState state);

// Failed presence checks in a row that mean the device was taken away. One stray byte
// spoils one check; a removed device fails every check, and three checks cost a few
// hundred milliseconds at most.
inline constexpr int kRemovalChecks = 3;
// How long a good end stays up before the run goes on.
inline constexpr std::uint32_t kFinishShowMs = 200;
// The pause after an automatic attempt that failed before anything was sent (no image, a
// conversion that fails, an image cut short): it doubles with each such failure in a row,
// up to the cap, so a station left with a bad image neither spins nor goes quiet.
inline constexpr std::uint32_t kBackOffFirstMs = 1000;
inline constexpr std::uint32_t kBackOffMaxMs = 60000;
// How often a pause looks whether the image was mended.
inline constexpr std::uint32_t kImageLookMs = 250;

// The pause after the n-th such failure in a row (n from 1).
std::uint32_t BackOffMs(int failures);

// What the run does, as it does it, for a front end that keeps a stream of it.
struct RunEvent {
    enum class Kind {
        Waiting,     // a look found no device (at every such look)
        DeviceFound, // a device answered and the run goes on towards the transfer
        Converting,  // `text`: the HEX image handed to the converter
        Progress,    // the transfer's `percent` or `block` changed
        Paused,      // `text`: the status bar's text; `pauseMs`: how long
        Outcome,     // the production record took a record (a transfer's end, a refusal)
    };
    Kind kind;
    std::string text = {};
    int percent = 0, block = 0;
    std::uint32_t pauseMs = 0;
};

class RunMachine {
public:
    explicit RunMachine(RunPanel& panel);
    ~RunMachine();
    RunMachine(const RunMachine&) = delete;
    RunMachine& operator=(const RunMachine&) = delete;

    // The run's own poll timer: on while the run waits or transfers.
    Timer tick{kPollWaitMs, false};

    // ---- Events ---------------------------------------------------------------------
    void Start();      // cmdStart
    void Stop();       // cmdStop
    void ToggleAuto(); // the Auto Quenlar menu item
    void Look();       // t2: the automatic mode looks for a device
    void Tick();       // tick

    // A close request (close box, Exit, a signal, a session's end). Stops the automatic
    // mode and saves the options at the first request; true when the program may end
    // now. During a transfer the first request waits for its end; a second ends at once,
    // recording the transfer as interrupted.
    bool RequestClose();
    // A close was asked for and the transfer it waited for has ended.
    bool CloseDue() const { return closeAsked_ && !TransferUnderWay(); }
    bool CloseAsked() const { return closeAsked_; }

    // ---- What the front ends show ---------------------------------------------------
    RunState state() const { return state_; }
    bool Busy() const { return state_ != RunState::Idle; }
    bool TransferUnderWay() const {
        return state_ == RunState::Transfer || state_ == RunState::ShowFinish;
    }
    // What the last run or automatic step came to (nothing before the first).
    const std::optional<DownloadOutcome>& lastOutcome() const { return last_; }
    // The pause under way (0 while none is).
    std::uint32_t backOffMs() const { return state_ == RunState::BackOff ? waitMs_ : 0; }
    int good() const { return good_; }
    int failed() const { return failed_; }
    // Increases at every change of state or outcome.
    std::uint64_t changes() const { return changes_; }
    // Called after every change of state or outcome.
    std::function<void()> onChange;
    // Called with each thing the run does that a watcher is told of.
    std::function<void(const RunEvent&)> onEvent;
    // The panel reports its own part of a download (its conversion, a refused image).
    void Report(const RunEvent& event) {
        if (onEvent)
            onEvent(event);
    }

private:
    void Enter(RunState state);
    void Finish(const DownloadOutcome& outcome);
    void Advance();
    void DelayDone();
    void PollDevice();
    void LookOnce();
    void DeviceFound();
    void BeginTransfer();
    bool PollTransfer();
    void ReportProgress();
    void EndTransfer(RecordOutcome how);
    void AfterShow();
    void AfterManual();
    void AfterAuto();
    void CheckRemoval();
    void AutoOff();
    void EndAutoBy(const DownloadOutcome& outcome);
    void ReArm();
    void BeginBackOff();
    void CheckBackOff();
    void Lock(bool locked);
    void ShowMark(bool withMark);
    class Step;
    std::uint32_t Now();

    RunPanel& w_;
    RunState state_ = RunState::Idle;
    bool autoRun_ = false;        // the transfer under way belongs to the automatic mode
    bool autoOffPending_ = false; // switched off during a transfer: applied at its end
    bool closeAsked_ = false;
    bool inStep_ = false;
    std::uint32_t since_ = 0;
    std::uint32_t waitMs_ = 0;
    int removalMisses_ = 0;
    // What the image's file looked like when the pause began: any change ends the pause.
    struct FileStamp {
        std::string path;
        bool exists = false;
        std::uint64_t inode = 0, size = 0, folderMode = 0, owner = 0;
        std::int64_t modified = 0, changed = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const std::string& path);
    FileStamp stamp_;
    int backOffs_ = 0; // automatic attempts in a row that failed before sending
    std::uint32_t lookedAt_ = 0;
    int good_ = 0, failed_ = 0;
    std::uint64_t changes_ = 0;
    std::optional<DownloadOutcome> last_;
    DownloadOutcome transfer_;
    std::string sentFile_; // the file box's text the transfer was prepared from

    struct Transfer;
    std::unique_ptr<Transfer> t_;
    std::vector<bool> unlocked_; // enabled states the transfer's lock saved
};

} // namespace kaprin
