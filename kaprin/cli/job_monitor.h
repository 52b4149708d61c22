// Watches the model's calls into the download library without changing them, to learn
// what a terminal station reports beyond the status line: when a download started and
// ended, its result code, its block count, the port in use, and whether the port could
// not be used. The end of a job is read from the same polls the model makes: a
// non-zero error code, or error 0 read twice after percent 100 (the run reads the code
// once more there), or the next other call into the library.
#pragma once

#include "kaprin/core/ports.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kaprin::cli {

struct DownloadRecord {
    std::chrono::system_clock::time_point started;
    std::uint32_t durationMs = 0;
    int portIndex = 0; // 0 is COM1
    std::string file;  // the path handed to the library
    bool ok = false;
    int code = 0; // the library's result code; 0 when ok
    int blocks = 0;
};

class JobMonitor : public PellinApi {
public:
    JobMonitor(PellinApi& inner, Clock& clock) : inner_(inner), clock_(clock) {}

    // Called when a download has ended, before the model goes on.
    std::function<void(const DownloadRecord&)> onDownloadEnd;

    // Ends a job that the polls left open (the front end calls it after each handler).
    void Finish();

    int portIndex() const { return portIndex_; }
    int baudRate() const { return baudRate_; }
    int downloads() const { return downloads_; }
    int goodDownloads() const { return good_; }
    const std::optional<DownloadRecord>& last() const { return last_; }
    bool running() const { return running_; }
    // The last CheckZ answered -1: the port cannot be used.
    bool portUnusable() const { return portUnusable_; }

    void BotLoad(const std::string& path) override;
    void FontLoad(const std::string& path) override;
    std::int32_t getPercent() override;
    std::int32_t getBlock() override;
    std::int32_t getError() override;
    std::int32_t usePort(std::int32_t portIndex, std::int32_t baudRate) override;
    void PowerOn(bool on) override;
    void BootOn(bool on) override;
    void BootStart(bool on) override;
    void BootShutDown(bool on) override;
    std::int32_t CheckZ() override;
    std::int32_t CheckDevice() override;

private:
    void Start(const std::string& path);
    void End(bool ok, int code);

    PellinApi& inner_;
    Clock& clock_;
    int portIndex_ = 0;
    int baudRate_ = 0;
    bool portUnusable_ = false;
    int downloads_ = 0;
    int good_ = 0;
    std::optional<DownloadRecord> last_;

    bool running_ = false;
    DownloadRecord current_;
    std::uint32_t startTick_ = 0;
    std::uint32_t lastPollTick_ = 0;
    bool saw100_ = false;
    bool zeroAfter100_ = false;
    int lastError_ = 0;
};

// The converter as the model calls it, keeping its last result.
class KaldunMonitor : public KaldunApi {
public:
    explicit KaldunMonitor(KaldunApi& inner) : inner_(inner) {}
    std::int32_t KALDUN(const std::string& path) override {
        lastResult = inner_.KALDUN(path);
        ++calls;
        return lastResult;
    }
    std::int32_t lastResult = 0;
    int calls = 0;

private:
    KaldunApi& inner_;
};

} // namespace kaprin::cli
