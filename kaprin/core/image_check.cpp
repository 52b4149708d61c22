#include "kaprin/core/image_check.h"

#include "kaprin/base/regular_file.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <functional>
#include <string_view>
#include <unistd.h>

namespace kaprin {

namespace {

// ":" then length, address and type as hexadecimal pairs.
bool IsRecordHeader(std::string_view line) {
    if (line.size() < 9 || line[0] != ':')
        return false;
    for (std::size_t i = 1; i < 9; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(line[i])))
            return false;
    return true;
}

// Calls `wanted` with the start of each line until it says yes. A line is looked at by its
// first bytes only, so a file without line ends costs no memory.
bool AnyLine(const std::string& path, const std::function<bool(std::string_view)>& wanted) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    bool found = false;
    constexpr std::size_t kHead = 16;
    std::string head;
    char buf[65536];
    for (ssize_t n; !found && ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR));) {
        for (ssize_t i = 0; i < n && !found; ++i) {
            const char c = buf[i];
            if (c == '\n' || c == '\r') {
                found = !head.empty() && wanted(head);
                head.clear();
            } else if (head.size() < kHead) {
                head.push_back(c);
            }
        }
    }
    if (!found && !head.empty())
        found = wanted(head);
    close(fd);
    return found;
}

// ":" or "=", then pairs: length L, address, type, L data bytes, a checksum summing to 0.
bool IsWholeRecord(std::string_view text) {
    if (text.size() < 11 || text.size() % 2 == 0)
        return false;
    unsigned sum = 0;
    unsigned length = 0;
    for (std::size_t i = 1; i + 1 < text.size(); i += 2) {
        unsigned value = 0;
        const char* pair = text.data() + i;
        const auto [end, error] = std::from_chars(pair, pair + 2, value, 16);
        if (error != std::errc{} || end != pair + 2)
            return false;
        sum += value;
        if (i == 1)
            length = value;
    }
    return text.size() == 1 + 2 * (length + 5) && sum % 256 == 0;
}

// Follows the blocks as the library reads them: the text of a line ends at its first
// character of code 32 or less, and a last line without LF is the end of the file.
class PlnBlocks {
public:
    explicit PlnBlocks(int passes) : passesLeft_(passes) {}

    // False once the image is seen cut.
    bool Line(std::string_view text, bool overLong) {
        if (passesLeft_ <= 0)
            return true;
        switch (state_) {
        case State::Between:
            if (!text.empty() && text[0] == '=') {
                state_ = State::SecondHeader;
                return true;
            }
            if (!text.empty() && text[0] == ':')
                return Data(text, overLong, /*headed=*/false);
            // Headers are built for it and the line itself closes the block at once.
            --passesLeft_;
            return true;
        case State::SecondHeader:
            state_ = State::HeadedData;
            return true;
        case State::HeadedData:
        case State::BareData:
            if (!text.empty() && text[0] == ':')
                return Data(text, overLong, state_ == State::HeadedData);
            state_ = State::Between;
            --passesLeft_;
            return true;
        }
        return true;
    }

    bool End(std::string_view unterminated) const {
        if (passesLeft_ <= 0)
            return true;
        // A last line without LF is never sent: a data line there is lost, and anything but a
        // whole record there is a line cut off.
        if (!unterminated.empty() && (unterminated[0] == ':' || !IsWholeRecord(unterminated)))
            return false;
        return state_ == State::Between || state_ == State::BareData;
    }

private:
    bool Data(std::string_view text, bool overLong, bool headed) {
        state_ = headed ? State::HeadedData : State::BareData;
        return !overLong && IsWholeRecord(text);
    }

    enum class State { Between, SecondHeader, HeadedData, BareData } state_ = State::Between;
    int passesLeft_;
};

} // namespace

bool IsCutPlnImage(const std::string& path, int passes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    // A record holds at most 255 data bytes; anything longer is no record.
    constexpr std::size_t kLongestRecord = 1 + 2 * (255 + 5);
    PlnBlocks blocks(passes);
    std::string text;
    bool ended = false; // the text has met its first character of code 32 or less
    bool overLong = false;
    bool whole = true;
    char buf[65536];
    ssize_t n = 0;
    while (whole && ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))) {
        for (ssize_t i = 0; i < n && whole; ++i) {
            const unsigned char c = static_cast<unsigned char>(buf[i]);
            if (c == '\n') {
                whole = blocks.Line(text, overLong);
                text.clear();
                ended = overLong = false;
            } else if (c <= 32) {
                ended = true;
            } else if (!ended) {
                if (text.size() < kLongestRecord + 1)
                    text.push_back(static_cast<char>(c));
                else
                    overLong = true;
            }
        }
    }
    close(fd);
    return n >= 0 && (!whole || !blocks.End(text));
}

bool ImagePathFits(const std::string& path) {
    return path.size() <= kMaxImagePathBytes;
}

bool HasDataRecords(const std::string& path) {
    return AnyLine(path, IsRecordHeader);
}

bool HasHexEndRecord(const std::string& path) {
    return AnyLine(path, [](std::string_view line) {
        return IsRecordHeader(line) && line[7] == '0' && line[8] == '1';
    });
}

} // namespace kaprin
