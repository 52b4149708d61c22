// Writing a whole buffer to a descriptor, across short writes and interruptions.
#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

namespace kaldun {

inline bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, p, n);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace kaldun
