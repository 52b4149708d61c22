// A station's Prometheus text metrics, written after every download into one file per
// station (kaprin-<station>.prom) in the node exporter's textfile collector folder. The file
// is replaced by a rename, so the collector never reads half of it.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <string>

namespace kaprin::record {

class StationMetrics {
public:
    // The states a station shows; exactly one of them is 1.
    static constexpr std::array<const char*, 4> kStates{"waiting", "downloading", "alert",
                                                        "stopped"};
    // Upper bounds of the transfer time buckets, in seconds.
    static constexpr std::array<double, 10> kBuckets{5, 10, 15, 20, 30, 45, 60, 90, 120, 300};

    explicit StationMetrics(std::string station) : station_(std::move(station)) {}

    // One of kStates; another name is ignored.
    void SetState(const std::string& state);
    // Counts an outcome object (download_log.h).
    void Count(const nlohmann::json& outcome);

    std::string Text() const;
    // Writes Text() to `dir`/kaprin-<station>.prom by way of a temporary file; the
    // system's error, or an empty text.
    std::string WriteTo(const std::string& dir) const;
    std::string FileName() const;

private:
    std::string station_;
    std::size_t state_ = 0;
    std::array<std::uint64_t, 4> outcomes_{}; // ok, failed, interrupted, refused
    std::array<std::uint64_t, kBuckets.size()> buckets_{};
    std::uint64_t transfers_ = 0;
    double seconds_ = 0;
    double lastGood_ = 0; // seconds since the epoch, 0 before the first
};

} // namespace kaprin::record
