// The station's event stream: JSON Lines, one object per state change, each with the
// schema version "v", the event's name and its UTC time:
//   {"v":1,"event":"waiting","time":"2026-12-09T05:07:11.120Z","station":"ttyUSB0"}
//   "device_found", "converting" (with "image"), "downloading" (with "percent" and
//   "block"), "paused" (with "seconds" and "message"), and "outcome", which carries every
//   field of the record (download_log.h).
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <string>

namespace kaprin::record {

inline constexpr int kEventSchemaVersion = 1;

// "2026-12-09T05:07:11.120Z".
std::string IsoUtc(std::chrono::system_clock::time_point t);

// An event object with its version, name and time.
nlohmann::json EventObject(const std::string& name, std::chrono::system_clock::time_point t);

// Writes each event as one line to a descriptor or a file. The stream is for watchers:
// a watcher that goes away (a closed pipe) is reported once and ends the stream, never the
// station.
class EventStream {
public:
    EventStream() = default;
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // `target` is a descriptor number that is open, or a path (created, appended to).
    // Returns the system's error, or an empty text.
    std::string Open(const std::string& target);
    bool open() const { return fd_ >= 0; }

    // Writes one line; the station's name is added to every event.
    void Emit(nlohmann::json event);
    std::string station;
    std::function<void(const std::string& error)> onError;

private:
    int fd_ = -1;
    bool own_ = false;
};

} // namespace kaprin::record
