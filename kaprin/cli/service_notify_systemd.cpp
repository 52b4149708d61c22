#include "kaprin/cli/service_notify.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaprin::cli {

namespace {

// One datagram to $NOTIFY_SOCKET, never waiting: when the manager's queue is full the
// message is dropped rather than the station held (the library's own send may block).
void Send(const std::string& message) {
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@'))
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof address.sun_path)
        return;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@')
        address.sun_path[0] = '\0'; // an abstract socket
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    const socklen_t size =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (name[0] == '/'));
    ssize_t n;
    do
        n = sendto(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&address), size);
    while (n < 0 && errno == EINTR);
    close(fd);
}

} // namespace

void NotifyReady(const std::string& status) {
    Send("READY=1\nSTATUS=" + status);
}

void NotifyStopping() {
    Send("STOPPING=1");
}

void NotifyStatus(const std::string& status) {
    Send("STATUS=" + status);
}

void NotifyStoppingExtended(std::uint64_t extendUsec, const std::string& status) {
    if (extendUsec == 0)
        Send("STOPPING=1\nSTATUS=" + status);
    else
        Send("STOPPING=1\nEXTEND_TIMEOUT_USEC=" + std::to_string(extendUsec) +
             "\nSTATUS=" + status);
}

bool UnderServiceManager() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

} // namespace kaprin::cli
