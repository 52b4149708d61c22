#include "kaprin/record/station_metrics.h"

#include "kaprin/base/regular_file.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kaprin::record {

namespace {

constexpr std::array<const char*, 4> kOutcomes{"ok", "failed", "interrupted", "refused"};

std::string LabelText(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out.push_back(c);
    }
    return out;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

} // namespace

void StationMetrics::SetState(const std::string& state) {
    for (std::size_t i = 0; i < kStates.size(); ++i)
        if (state == kStates[i])
            state_ = i;
}

void StationMetrics::Count(const nlohmann::json& o) {
    const std::string outcome = o.value("outcome", "");
    for (std::size_t i = 0; i < kOutcomes.size(); ++i)
        if (outcome == kOutcomes[i])
            ++outcomes_[i];
    if (outcome == "refused" || !o.contains("duration_ms"))
        return;
    const double seconds = o["duration_ms"].get<double>() / 1000.0;
    ++transfers_;
    seconds_ += seconds;
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        if (seconds <= kBuckets[i])
            ++buckets_[i];
    if (outcome == "ok")
        lastGood_ =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count();
}

std::string StationMetrics::Text() const {
    const std::string st = "station=\"" + LabelText(station_) + "\"";
    std::string t;
    t += "# HELP kaprin_downloads_total Downloads by outcome since the station started.\n"
         "# TYPE kaprin_downloads_total counter\n";
    for (std::size_t i = 0; i < kOutcomes.size(); ++i)
        t += "kaprin_downloads_total{" + st + ",outcome=\"" + kOutcomes[i] + "\"} " +
             std::to_string(outcomes_[i]) + "\n";
    t += "# HELP kaprin_transfer_seconds Time of each transfer.\n"
         "# TYPE kaprin_transfer_seconds histogram\n";
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        t += "kaprin_transfer_seconds_bucket{" + st + ",le=\"" + Number(kBuckets[i]) + "\"} " +
             std::to_string(buckets_[i]) + "\n";
    t += "kaprin_transfer_seconds_bucket{" + st + ",le=\"+Inf\"} " + std::to_string(transfers_) +
         "\n";
    t += "kaprin_transfer_seconds_sum{" + st + "} " + Number(seconds_) + "\n";
    t += "kaprin_transfer_seconds_count{" + st + "} " + std::to_string(transfers_) + "\n";
    t += "# HELP kaprin_station_state The station's state: 1 for the one it is in.\n"
         "# TYPE kaprin_station_state gauge\n";
    for (std::size_t i = 0; i < kStates.size(); ++i)
        t += "kaprin_station_state{" + st + ",state=\"" + kStates[i] + "\"} " +
             (i == state_ ? "1" : "0") + "\n";
    t += "# HELP kaprin_last_good_download_timestamp_seconds End of the last good download "
         "(0: none yet).\n"
         "# TYPE kaprin_last_good_download_timestamp_seconds gauge\n";
    t += "kaprin_last_good_download_timestamp_seconds{" + st + "} " + Number(lastGood_) + "\n";
    return t;
}

std::string StationMetrics::FileName() const {
    std::string name = "kaprin-";
    for (char c : station_)
        name.push_back(c == '/' ? '_' : c);
    return name + ".prom";
}

std::string StationMetrics::WriteTo(const std::string& dir) const {
    const std::string path = dir + "/" + FileName();
    // The collector reads *.prom only: the temporary name is not one.
    const std::string temp = dir + "/." + FileName() + "." + std::to_string(getpid());
    const std::string text = Text();
    int fd;
    do
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::strerror(errno);
    if (const std::string error = WriteAll(fd, text); !error.empty()) {
        close(fd);
        unlink(temp.c_str());
        return error;
    }
    if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
        const std::string error = std::strerror(errno);
        unlink(temp.c_str());
        return error;
    }
    return {};
}

} // namespace kaprin::record
