#include "kaprin/record/outcome_event.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kaprin::record {

namespace {
constexpr int kWatcherWaitMs = 2000;
}

std::string IsoUtc(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm utc{};
    gmtime_r(&secs, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>((ms % 1000 + 1000) % 1000));
    return text;
}

nlohmann::json EventObject(const std::string& name, std::chrono::system_clock::time_point t) {
    return {{"v", kEventSchemaVersion}, {"event", name}, {"time", IsoUtc(t)}};
}

EventStream::~EventStream() {
    if (own_ && fd_ >= 0)
        close(fd_);
}

std::string EventStream::Open(const std::string& target) {
    int number = -1;
    auto [end, ec] = std::from_chars(target.data(), target.data() + target.size(), number);
    if (!target.empty() && ec == std::errc() && end == target.data() + target.size()) {
        if (number < 0 || fcntl(number, F_GETFD) < 0)
            return "descriptor " + target + " is not open";
        fd_ = number;
        own_ = false;
        return {};
    }
    do
        fd_ = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        return std::strerror(errno);
    own_ = true;
    return {};
}

void EventStream::Emit(nlohmann::json event) {
    if (fd_ < 0)
        return;
    if (!station.empty() && !event.contains("station"))
        event["station"] = station;
    // Bytes that are not UTF-8 (a file name) are replaced rather than thrown on.
    const std::string line =
        event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        // A watcher that reads slowly is waited for a while rather than an object cut in
        // two, but one that has stopped reading never holds the station up: a descriptor
        // we were given may block, so its room is asked for first.
        pollfd p{fd_, POLLOUT, 0};
        const int ready = poll(&p, 1, kWatcherWaitMs);
        ssize_t n = -1;
        if (ready > 0)
            n = write(fd_, line.data() + done, line.size() - done);
        else if (ready == 0)
            errno = ETIMEDOUT;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            const std::string error = n < 0 ? std::strerror(errno) : "nothing written";
            if (own_)
                close(fd_);
            fd_ = -1;
            if (onError)
                onError(error);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace kaprin::record
