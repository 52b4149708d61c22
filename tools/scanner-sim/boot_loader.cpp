#include "boot_loader.h"

#include <cstdarg>
#include <vector>

namespace sim {

namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kEsc = 0x1B;
constexpr int64_t kNsPerMs = 1000000;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The bytes of a record line after its leading character, or nothing when it is malformed.
std::optional<std::vector<uint8_t>> RecordBytes(const std::string& text) {
    if (text.size() < 11 || (text.size() - 1) % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i + 1 < text.size(); i += 2) {
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    if (bytes.size() != static_cast<size_t>(bytes[0]) + 5)
        return std::nullopt;
    return bytes;
}

bool ChecksumOk(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return sum == 0;
}

std::string AnswerName(std::optional<uint8_t> answer) {
    if (!answer)
        return "none";
    switch (*answer) {
    case kAck:
        return "ACK";
    case kNak:
        return "NAK";
    case kEsc:
        return "ESC";
    default: {
        char text[8];
        std::snprintf(text, sizeof text, "%02X", *answer);
        return text;
    }
    }
}

} // namespace

BootLoader::BootLoader(const Options& options, std::FILE* log)
    : options_(options), log_(log), random_(options.seed) {}

void BootLoader::Log(const char* format, ...) {
    if (log_ == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log_, format, args);
    va_end(args);
    std::fputc('\n', log_);
    std::fflush(log_);
}

std::optional<uint8_t> BootLoader::Receive(uint8_t byte, int64_t now) {
    lastByteAt_ = now;
    if (awayUntil_ >= 0) {
        if (now < awayUntil_)
            return std::nullopt; // nobody is there to hear it
        awayUntil_ = -1;
        Log("device plugged in");
    }
    if (inFrame_) {
        if (byte == '\n') {
            inFrame_ = false;
            return Frame(frame_, now);
        }
        if (byte != '\r' && frame_.size() < 1024)
            frame_.push_back(static_cast<char>(byte));
        return std::nullopt;
    }
    if (byte == '=' || byte == ':') {
        inFrame_ = true;
        frame_.assign(1, static_cast<char>(byte));
        return std::nullopt;
    }
    if (byte == '\n' || byte == '\r')
        return std::nullopt;
    return Probe(byte, now);
}

std::optional<uint8_t> BootLoader::Frame(const std::string& text, int64_t now) {
    ++frames_;
    std::optional<uint8_t> answer = kAck;
    if (Silent()) {
        answer.reset();
    } else if (auto fault = options_.replyAt.find(frames_); fault != options_.replyAt.end()) {
        answer = fault->second;
    } else if (options_.checkRecords && !(RecordBytes(text) && ChecksumOk(*RecordBytes(text)))) {
        answer = kNak;
    } else if (options_.refuseRate > 0 &&
               std::uniform_real_distribution<double>(0, 1)(random_) < options_.refuseRate) {
        answer = options_.refuseByte;
    }
    if (answer && options_.extraAt.count(frames_) != 0)
        extra_ = options_.extraByte;
    Log("frame %ld \"%s\" %s%s", frames_, text.c_str(), AnswerName(answer).c_str(),
        extra_ ? (" then " + AnswerName(extra_)).c_str() : "");
    if (answer == kAck)
        Track(text, now);
    return answer;
}

std::optional<uint8_t> BootLoader::TakeExtra() {
    const std::optional<uint8_t> extra = extra_;
    extra_.reset();
    return extra;
}

std::optional<uint8_t> BootLoader::Probe(uint8_t byte, int64_t now) {
    if (awayPending_) {
        awayPending_ = false;
        awayUntil_ = now + options_.awayMs * kNsPerMs;
        Log("device taken away for %ld ms", options_.awayMs);
        return std::nullopt;
    }
    std::optional<uint8_t> answer;
    if (!Silent() && !options_.noEcho)
        answer = byte;
    if (byte >= 32 && byte < 127)
        Log("probe \"%c\" %s", byte, answer ? "echoed" : "none");
    else
        Log("probe %02X %s", byte, answer ? "echoed" : "none");
    return answer;
}

void BootLoader::Track(const std::string& text, int64_t now) {
    const auto bytes = RecordBytes(text);
    if (text[0] == ':') {
        inDownload_ = true;
        return;
    }
    if (!bytes)
        return;
    const uint8_t type = (*bytes)[3];
    if (type == 0x01 && (*bytes)[0] == 2) {
        inDownload_ = true;
        font_ = (*bytes)[4];
        pass_ = (*bytes)[5];
        endAckedAt_ = -1;
    } else if (type == 0x00 && inDownload_) {
        const int lastPass = font_ != 0 ? 1 : 7;
        if (pass_ == lastPass)
            Complete(now, "after its last pass");
        else
            endAckedAt_ = now;
    } else if ((type == 0x99 || type == 0xAA) && inDownload_) {
        Complete(now, "with a start or shut-down frame");
    }
}

void BootLoader::Complete(int64_t, const char* how) {
    inDownload_ = false;
    pass_ = -1;
    endAckedAt_ = -1;
    ++downloads_;
    Log("download %ld complete %s", downloads_, how);
    if (options_.awayMs >= 0)
        awayPending_ = true;
}

int64_t BootLoader::Idle(int64_t now) {
    if (awayUntil_ >= 0 && now >= awayUntil_) {
        awayUntil_ = -1;
        Log("device plugged in");
    }
    if (inDownload_ && endAckedAt_ >= 0 && now - lastByteAt_ >= options_.lingerMs * kNsPerMs)
        Complete(now, "after a quiet line");
    int64_t next = -1;
    auto earliest = [&next](int64_t at) {
        if (at >= 0 && (next < 0 || at < next))
            next = at;
    };
    if (awayUntil_ >= 0)
        earliest(awayUntil_);
    if (inDownload_ && endAckedAt_ >= 0)
        earliest(lastByteAt_ + options_.lingerMs * kNsPerMs);
    if (options_.exitAfter > 0 && downloads_ >= options_.exitAfter)
        earliest(lastByteAt_ + options_.lingerMs * kNsPerMs);
    return next;
}

bool BootLoader::Finished(int64_t now) const {
    return options_.exitAfter > 0 && downloads_ >= options_.exitAfter &&
           now - lastByteAt_ >= options_.lingerMs * kNsPerMs;
}

} // namespace sim
