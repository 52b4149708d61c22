#include "kaprin/core/image_check.h"

#include "kaprin/base/regular_file.h"

#include <cctype>
#include <cerrno>
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

} // namespace

bool HasDataRecords(const std::string& path) {
    return AnyLine(path, IsRecordHeader);
}

bool HasHexEndRecord(const std::string& path) {
    return AnyLine(path, [](std::string_view line) {
        return IsRecordHeader(line) && line[7] == '0' && line[8] == '1';
    });
}

} // namespace kaprin
