#include "kaprin/cli/station.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/port_list.h"
#include "kaprin/cli/service_notify.h"
#include "kaprin/cli/station_model.h"
#include "kaprin/cli/station_service.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/record/download_log.h"
#include "kaprin/record/outcome_event.h"
#include "kaprin/record/station_metrics.h"

#include <cstdlib>
#include <optional>
#include <unistd.h>
#include <utility>

namespace kaprin::cli {

namespace {

void WriteErr(int fd, const std::string& text) {
    std::string line = "kaprin-cli: " + text + "\n";
    (void)!write(fd, line.data(), line.size());
}

std::string OnOff(const Control& item) {
    return item.caption + (item.checked ? " on" : " off");
}

class StationRun {
public:
    StationRun(const CliOptions& options, const std::string& programDir, TerminalIo io,
               StationBindings b, int errFd)
        : options_(options), errFd_(errFd), clock_(b.clock),
          terminal_(io, options.answers, b.clock), pellinLib_(b.makePellin(terminal_)),
          kaldunLib_(b.makeKaldun(terminal_)),
          record_([this] { return options_.logFile; },
                  [this](std::int32_t index) { return Device(index + 1); }),
          service_(SystemdMessages(), [this] { return clock_.TickCount(); }),
          serviceRecord_(record_, service_),
          model_(RunPorts{terminal_, b.clock, b.store, *pellinLib_, *kaldunLib_, &serviceRecord_,
                          b.serial},
                 programDir, options.modelWords) {
        // --port and --baud hold for this station only; nothing of them is stored, so
        // stations that share one settings file each keep their own port.
        model_.serialLine().Pin(options.port, options.portPath, options.baud);
        // Why the port cannot be used, beside the run's own message and status.
        model_.serialLine().onProblem = [this](const PortState& s) {
            WriteErr(errFd_, StationPortProblem(s, model_.langTable));
        };
        terminal_.timers().Add(model_.t2, [this] { model_.run.Look(); });
        terminal_.timers().Add(model_.run.tick, [this] {
            model_.run.Tick();
            service_.OnProgress(model_.PB1.value); // renews a stop's extension between pumps
        });
        // The pass/fail mark and the session's counts, once per transfer.
        model_.run.onChange = [this] {
            // Each pause and its end is a line of its own, though no pump came between.
            if (const bool held = model_.run.backOffMs() != 0; held != service_.held()) {
                Show();
                service_.OnHold(held ? model_.SB1.panel1 : std::string());
                // The status bar gives only the converter's number; the journal says why.
                const auto& last = model_.run.lastOutcome();
                if (held && last && last->result == RunResult::ConversionFailed)
                    WriteErr(errFd_, ConversionFailure(model_.txtSFile.text, last->code));
            }
            const int transfers = model_.run.good() + model_.run.failed();
            if (transfers != marked_ && !model_.run.TransferUnderWay() &&
                model_.run.lastOutcome()) {
                marked_ = transfers;
                Show();
                terminal_.view().Print(model_.SB1.panel3);
            }
        };
        model_.run.onEvent = [this](const RunEvent& e) { OnRunEvent(e); };
        terminal_.onPump = [this] { Show(); };
        terminal_.onQuestion = [this] { terminal_.view().ShowList(model_.List1.items); };
        terminal_.onClose = [this] {
            model_.run.Stop(); // ends a manual run's wait for the device
            Close();
        };
        service_.unwrittenRecords = [this] { return record_.unwritten(); };
        record_.onLogError = [this](const std::string& path, const std::string& error) {
            WriteErr(errFd_, "cannot write to the log file " + path + ": " + error);
        };
        record_.onLogRecovered = [this](const std::string& path, int unwritten) {
            WriteErr(errFd_, "the log file " + path + " is written again; " +
                                 std::to_string(unwritten) + " record(s) were not written to it");
        };
    }

    int Run();

private:
    // The station's name: given, or the file name of the port's device, or the port.
    std::string StationName() {
        if (!options_.station.empty())
            return options_.station;
        return record::DefaultStationName(Device(model_.PortIndex() + 1), model_.PortIndex() + 1);
    }
    std::string OpenLineRecord();
    void Event(const std::string& state, nlohmann::json fields);
    void OnRunEvent(const RunEvent& e);
    void WriteMetrics();
    void EmitRecorded();

    void Show() {
        StatusSnapshot s{model_.SB1.panel1, model_.SB1.panel2, model_.PB1.value};
        terminal_.view().Show(s, clock_.TickCount());
        service_.OnProgress(s.percent);
    }
    // The run's close request, once, whoever asks for it first; a transfer
    // under way is finished first (CloseDue), unless a second signal ends it.
    void Close() {
        if (loaded_ && !closed_) {
            closed_ = true;
            service_.OnStopRequest();
            model_.run.RequestClose();
        }
    }
    // The device COM<n> maps to now, as the serial component maps it.
    std::string Device(int n) {
        SerialPorts* serial = model_.serialLine().serial();
        return serial && n >= 1 && n <= comm::kPorts ? serial->MapPort(n).device : std::string();
    }
    std::string PortName() {
        int n = model_.PortIndex() + 1;
        std::string name = ComName(n);
        if (const std::string device = Device(n); !device.empty())
            name += " (" + device + ")";
        return name;
    }
    void PrintHeader();
    bool PortReady();
    int RunOnce();
    int RunAutomatic();

    const CliOptions& options_;
    int errFd_;
    Clock& clock_;
    TerminalMessages terminal_;
    std::unique_ptr<PellinApi> pellinLib_;
    std::unique_ptr<KaldunApi> kaldunLib_;
    record::RecordWriter record_;
    StationService service_;
    ServiceRecord serviceRecord_;
    StationModel model_;
    record::EventStream events_;
    std::string lastEvent_;
    // The record's own object, until the run reports the outcome it belongs to.
    std::optional<nlohmann::json> recorded_;
    std::optional<record::StationMetrics> metrics_;
    std::string metricsState_;
    bool metricsWarned_ = false;
    int marked_ = 0;
    bool loaded_ = false;
    bool closed_ = false;
};

// The run's steps as the stream's events. A look that finds no device again says nothing new.
void StationRun::OnRunEvent(const RunEvent& e) {
    using Kind = RunEvent::Kind;
    switch (e.kind) {
    case Kind::Waiting:
        if (lastEvent_ != "waiting")
            Event("waiting", nlohmann::json::object());
        return;
    case Kind::DeviceFound:
        Event("device_found", nlohmann::json::object());
        return;
    case Kind::Converting:
        Event("converting", {{"image", e.text}});
        return;
    case Kind::Progress:
        Event("downloading", {{"percent", e.percent}, {"block", e.block}});
        return;
    case Kind::Paused:
        Event("paused", {{"seconds", e.pauseMs / 1000}, {"message", e.text}});
        return;
    case Kind::Outcome:
        EmitRecorded();
        return;
    }
}

void StationRun::EmitRecorded() {
    if (!recorded_)
        return;
    const nlohmann::json o = *std::exchange(recorded_, std::nullopt);
    lastEvent_ = "outcome";
    events_.Emit(o);
    if (metrics_) {
        metrics_->Count(o);
        WriteMetrics();
    }
}

void StationRun::Event(const std::string& state, nlohmann::json fields) {
    lastEvent_ = state;
    nlohmann::json e = record::EventObject(state, std::chrono::system_clock::now());
    e.update(fields);
    events_.Emit(std::move(e));
    // The metrics know four states; a new one is written at once, progress is not.
    const std::string shown = state == "device_found" || state == "converting" ? "downloading"
                              : state == "paused"                              ? "waiting"
                                                                               : state;
    if (metrics_ && shown != metricsState_) {
        metricsState_ = shown;
        metrics_->SetState(shown);
        WriteMetrics();
    }
}

void StationRun::WriteMetrics() {
    const std::string error = metrics_->WriteTo(options_.metricsDir);
    if (!error.empty() && !metricsWarned_) {
        // Monitoring, not the record: the station goes on flashing.
        metricsWarned_ = true;
        WriteErr(errFd_, "cannot write the metrics to " + options_.metricsDir + ": " + error);
    }
}

// The pin, the unit's identity, the event stream and the metrics; an error when the
// event stream cannot be opened.
std::string StationRun::OpenLineRecord() {
    record_.pin = {options_.expectSha256, options_.requirePin};
    record_.identity = {options_.unitId, record::LoginName(), options_.order};
    record_.station = StationName();
    if (options_.askUnit) {
        terminal_.KeepInputLines();
        record_.askUnit = [this] { return terminal_.AskLine("Unit id: "); };
    }
    if (!options_.events.empty()) {
        if (std::string error = events_.Open(options_.events); !error.empty())
            return "cannot open the event stream " + options_.events + ": " + error;
        events_.station = record_.station;
        events_.onError = [this](const std::string& error) {
            WriteErr(errFd_, "the event stream ended: " + error);
        };
    }
    if (!options_.metricsDir.empty())
        metrics_.emplace(record_.station);
    record_.onOutcome = [this](const nlohmann::json& o) {
        EmitRecorded(); // one the run did not report is not lost
        recorded_ = o;
    };
    terminal_.onMessage = [this](const std::string& text) { Event("alert", {{"message", text}}); };
    return {};
}

void StationRun::PrintHeader() {
    StatusView& v = terminal_.view();
    v.Print(model_.Title() + ": " + PortName() + " at " + std::to_string(model_.BaudRate()) +
            " baud");
    v.Print("File: " +
            (model_.txtSFile.text.empty() ? std::string("(none)") : model_.txtSFile.text));
    v.ShowList(model_.List1.items);
    v.Print("Options: " + OnOff(model_.mnuDTR) + ", " + OnOff(model_.mnuRTS) + ", " +
            OnOff(model_.mnuConvert) + ", " + OnOff(model_.mnuQuenlar) + ", " +
            OnOff(model_.mnuBotStart) + ", " + OnOff(model_.mnuBotShutDown));
}

int StationRun::RunOnce() {
    const auto before = model_.run.changes();
    model_.run.Start();
    while (model_.run.Busy())
        terminal_.WaitForEvent();
    Show();
    const std::optional<DownloadOutcome>& last = model_.run.lastOutcome();
    if (model_.run.changes() == before || !last ||
        (!last->Transferred() && terminal_.closeSignals() > 0)) {
        WriteErr(errFd_, "stopped before the download");
        return kExitInterrupted;
    }
    const DownloadOutcome outcome = *last;
    switch (outcome.result) {
    case RunResult::Finished:
        return kExitOk;
    case RunResult::TransferFailed:
        WriteErr(errFd_,
                 "the download failed with the library's result " + std::to_string(outcome.code));
        return ExitForLibraryCode(outcome.code);
    case RunResult::PortUnusable:
        WriteErr(errFd_, PortName() + " cannot be used");
        return kExitPortUnusable;
    default:
        break;
    }
    std::string why;
    const int status = NotSentStatus(outcome, model_, why);
    WriteErr(errFd_, why);
    return status;
}

// A service is ready once its port is known to open; one that cannot ends at once, saying
// why, instead of failing at the first probe.
bool StationRun::PortReady() {
    if (SerialPorts* serial = model_.serialLine().serial()) {
        const PortChoice& port = model_.serialLine().choice();
        const PortState state = serial->ProbePort(ComName(port.number), port.baud);
        if (state.condition != PortCondition::Usable) {
            WriteErr(errFd_, PortName() + " cannot be used: " + DescribeState(state));
            return false;
        }
    }
    service_.OnReady(PortName());
    return true;
}

int StationRun::RunAutomatic() {
    for (;;) {
        if (model_.endRequested()) // "-C" after the first good download
            return kExitOk;
        if (model_.run.CloseDue()) // Ctrl-C, SIGTERM, or "q" typed
            return kExitOk;
        // A close switches the mode off at once; the transfer under way still ends first.
        if (!model_.mnuAutoQuenlar.checked && !model_.run.TransferUnderWay()) {
            if (model_.AutoEndedBy == RunResult::Refused) {
                WriteErr(errFd_, "refused: " + model_.SB1.panel1);
                return kExitRefused;
            }
            if (model_.AutoEndedBy != RunResult::PortUnusable)
                return kExitOk;
            WriteErr(errFd_, "the automatic mode ended: " + PortName() + " cannot be used");
            return kExitPortUnusable;
        }
        terminal_.WaitForEvent();
    }
}

int StationRun::Run() {
    if (!options_.logFile.empty()) {
        std::string error = record::CheckLogFile(options_.logFile);
        if (!error.empty()) {
            WriteErr(errFd_, "cannot open the log file " + options_.logFile + ": " + error);
            return kExitLogFile;
        }
    }
    int status = kExitOk;
    bool automatic = false;
    try {
        model_.Load();
        loaded_ = true;
        bool autoWords =
            model_.module1.CmdMode == kCmdAuto || model_.module1.CmdMode == kCmdAutoClose;
        if (options_.once && autoWords) {
            WriteErr(errFd_, "--once is a single manual run: leave out -A and -C");
            return kExitUsage; // nothing was run, so nothing is saved either
        }
        if (std::string error = OpenLineRecord(); !error.empty()) {
            WriteErr(errFd_, error);
            return kExitLogFile;
        }
        model_.Activate();
        PrintHeader();
        Show();
        automatic = model_.mnuAutoQuenlar.checked;
        if (options_.once)
            status = RunOnce();
        else if (automatic) {
            // A station that cannot send its image ends before it says it is ready.
            // Its pin is checked then too; the unit's id is asked per download.
            std::string why;
            auto askUnit = std::exchange(record_.askUnit, nullptr);
            status = CheckStationImage(model_, why);
            record_.askUnit = std::move(askUnit);
            if (status != kExitOk)
                WriteErr(errFd_, why);
            else
                status = PortReady() ? RunAutomatic() : kExitPortUnusable;
        } else
            terminal_.view().Print(
                "Nothing to run: -A or -C starts the automatic mode, --once one download.");
    } catch (const CliExit& e) {
        terminal_.view().Finish();
        WriteErr(errFd_, e.what());
        status = e.status;
        if (status == kExitFatal)
            closed_ = true; // a missing library ends the program without its close
        else if (closed_)
            model_.run.RequestClose(); // the second request: a transfer is cut and recorded so
    }
    try {
        Close();
    } catch (const CliExit& e) {
        WriteErr(errFd_, e.what());
    }
    if (loaded_) {
        EmitRecorded();
        Event("stopped", nlohmann::json::object());
    }
    StatusView& v = terminal_.view();
    v.Finish();
    if (automatic) {
        v.Print(record::SummaryText(record_, terminal_.alerts()));
    }
    return status;
}

} // namespace

int RunStation(const CliOptions& options, const std::string& programDir, TerminalIo io,
               StationBindings bindings, int errFd) {
    io.err = errFd;
    StationRun run(options, programDir, io, bindings, errFd);
    return run.Run();
}

} // namespace kaprin::cli
