// The scanner's boot loader as the download library sees it: bytes in, answer bytes out.
// Time is given by the caller (nanoseconds), so the model itself never sleeps.
#pragma once

#include "options.h"

#include <cstdio>
#include <optional>
#include <random>
#include <string>

namespace sim {

class BootLoader {
public:
    BootLoader(const Options& options, std::FILE* log);

    // One received byte that finished arriving at time now; returns the answer, if any.
    std::optional<uint8_t> Receive(uint8_t byte, int64_t now);
    // A byte to send right after the answer Receive just gave, once (--extra-byte-at).
    std::optional<uint8_t> TakeExtra();

    // Called when the line has been quiet; may complete a download. Returns the time at which
    // it wants to be called again (or -1).
    int64_t Idle(int64_t now);
    // True once --exit-after is met and the line has been quiet long enough.
    bool Finished(int64_t now) const;

    long Frames() const { return frames_; }
    long Downloads() const { return downloads_; }

private:
    std::optional<uint8_t> Frame(const std::string& text, int64_t now);
    std::optional<uint8_t> Probe(uint8_t byte, int64_t now);
    void Track(const std::string& text, int64_t now);
    void Complete(int64_t now, const char* how);
    bool Silent() const { return options_.silentFrom > 0 && frames_ >= options_.silentFrom; }
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const Options& options_;
    std::FILE* log_;
    std::mt19937 random_;
    std::string frame_;
    bool inFrame_ = false;
    std::optional<uint8_t> extra_;
    long frames_ = 0;
    long downloads_ = 0;
    // Download tracking.
    bool inDownload_ = false;
    int pass_ = -1;
    int font_ = 0;
    int64_t endAckedAt_ = -1; // an end frame inside a download was acknowledged then
    bool awayPending_ = false;
    int64_t awayUntil_ = -1;
    int64_t lastByteAt_ = 0;
};

} // namespace sim
