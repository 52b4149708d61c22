// What a station tells its service manager, apart from the run that drives it: READY once
// its image and port are checked, a STATUS= line that follows it (waiting, downloading n %,
// the last outcome, the session's counts), and at a stop request during a transfer an
// extension of the stop time-out until the transfer has ended, so that no scanner is left
// half-written. The run calls the On* hooks; nothing here knows the model.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/core/download_run.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kaprin {
class RunPanel;
class LangTable;
struct PortState;
} // namespace kaprin

namespace kaprin::cli {

// The messages to the service manager; the tests put recorders in.
struct ServiceMessages {
    std::function<void(const std::string& status)> ready;
    std::function<void(const std::string& status)> status;
    // STOPPING=1, with EXTEND_TIMEOUT_USEC= when `extendUsec` is not 0.
    std::function<void(std::uint64_t extendUsec, const std::string& status)> stopping;
};
ServiceMessages SystemdMessages();

class StationService {
public:
    // How long each extension grants; renewed at half its age while the transfer runs.
    static constexpr std::uint32_t kExtendMs = 30000;
    static constexpr std::uint32_t kStatusMs = 1000;

    StationService(ServiceMessages messages, std::function<std::uint32_t()> nowMs)
        : messages_(std::move(messages)), nowMs_(std::move(nowMs)) {}

    void OnReady(const std::string& portName);
    void OnTransferStart();
    void OnProgress(int percent); // at every pump
    void OnOutcome(const DownloadRecord& record);
    void OnStopRequest();
    // The automatic mode pauses after its image failed (`shown`: the status bar's text);
    // an empty text ends the pause.
    void OnHold(const std::string& shown);

    bool transferring() const { return transferring_; }
    bool held() const { return held_; }

    // Records the log file could not take so far; the status names them while there are any.
    std::function<int()> unwrittenRecords;
    const std::string& status() const { return status_; }

private:
    void Say(std::string status);
    void Extend();

    ServiceMessages messages_;
    std::function<std::uint32_t()> nowMs_;
    std::string port_;
    std::string last_;
    int good_ = 0, failed_ = 0, percent_ = -1;
    bool transferring_ = false, stopping_ = false, held_ = false;
    std::uint32_t extendedAt_ = 0, saidAt_ = 0;
    std::string status_;
};

// The production record with the service told of each transfer's start and end.
class ServiceRecord : public ProductionRecord {
public:
    ServiceRecord(ProductionRecord& inner, StationService& service)
        : inner_(inner), service_(service) {}
    std::string ImageDigest(const std::string& path) override {
        service_.OnTransferStart(); // asked just before the image goes to the library
        return inner_.ImageDigest(path);
    }
    std::string AdmitImage(std::int32_t portIndex, const std::string& image) override {
        return inner_.AdmitImage(portIndex, image);
    }
    void Write(const DownloadRecord& record) override {
        inner_.Write(record);
        service_.OnOutcome(record);
    }

private:
    ProductionRecord& inner_;
    StationService& service_;
};

// The image prepared as the first download would take it (a HEX image converted now):
// 0 when it can be sent, else the exit status and, in `why`, one line for the journal.
int CheckStationImage(RunPanel& frm, std::string& why);

// Why the port cannot be used, with advice for a station (the window's "Setup, Serial
// devices" is not there).
std::string StationPortProblem(const PortState& state, const LangTable& table);

// "the conversion of IMAGE failed with result N: " and why, in words ("code 4" alone says
// nothing), with why the folder cannot take the PLN file where that is the cause.
std::string ConversionFailure(const std::string& image, int code);

// A run that ended before its transfer (not on the port): kaprin-cli's exit status and, in
// `why`, one line saying why.
int NotSentStatus(const DownloadOutcome& outcome, const RunPanel& panel, std::string& why);

} // namespace kaprin::cli
