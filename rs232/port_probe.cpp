#include "port_probe.h"

#include "speed.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace rs232 {

namespace {

void CopyText(char* to, size_t size, const std::string& text) {
    std::snprintf(to, size, "%s", text.c_str());
}

std::string GroupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    char buffer[4096];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->gr_name;
    return std::to_string(gid);
}

int32_t StateOfOpenError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return RS232_PORT_NO_PERMISSION;
    case EBUSY:
        return RS232_PORT_BUSY;
    // A node without hardware behind it (a serial port the board lacks, an adapter pulled out
    // while its node lingers) fails with these.
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
        return RS232_PORT_MISSING;
    default:
        return RS232_PORT_FAILED;
    }
}

pid_t HolderOf(const struct stat& st) {
    std::ifstream in("/proc/locks");
    std::stringstream text;
    text << in.rdbuf();
    return LockHolder(text.str(), st.st_dev, st.st_ino);
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

} // namespace

std::string ActiveConsoleOf(const std::string& path, const std::string& activeList,
                            const std::string& devRoot) {
    const std::string real = RealPath(path);
    if (real.empty())
        return {};
    std::istringstream names(activeList);
    std::string name;
    while (names >> name) {
        if (name.find('/') == std::string::npos && RealPath(devRoot + "/" + name) == real)
            return name;
    }
    return {};
}

std::string ActiveConsoleOf(const std::string& path) {
    std::ifstream in("/sys/class/tty/console/active");
    std::stringstream text;
    text << in.rdbuf();
    return ActiveConsoleOf(path, text.str(), "/dev");
}

pid_t LockHolder(const std::string& procLocks, dev_t device, ino_t inode) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:123 0 EOF"; blocked waiters ("->") hold nothing.
    std::istringstream lines(procLocks);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string id, kind, mode, access, where;
        long pid = 0;
        if (!(words >> id >> kind) || kind == "->")
            continue;
        if (!(words >> mode >> access >> pid >> where))
            continue;
        unsigned major_ = 0, minor_ = 0;
        unsigned long long node = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major_, &minor_, &node) != 3)
            continue;
        if (major_ == major(device) && minor_ == minor(device) && node == inode && pid > 0)
            return static_cast<pid_t>(pid);
    }
    return 0;
}

void ProbeDevice(const std::string& path, int32_t baud, RS232_PortState& out) {
    out = RS232_PortState{};
    CopyText(out.device, sizeof out.device, path);
    if (path.empty()) {
        out.state = RS232_PORT_MISSING;
        return;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        out.error = errno;
        out.state = StateOfOpenError(errno);
        return;
    }
    // A group is worth joining only when it may read and write the device; root's never is.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && st.st_gid != 0)
        CopyText(out.group, sizeof out.group, GroupName(st.st_gid));
    if (!S_ISCHR(st.st_mode)) {
        out.state = RS232_PORT_NOT_A_TERMINAL;
        return;
    }
    if (!ActiveConsoleOf(path).empty()) {
        out.state = RS232_PORT_CONSOLE;
        return;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        out.error = errno;
        out.state = StateOfOpenError(errno);
        if (out.state == RS232_PORT_BUSY)
            out.holderPid = HolderOf(st);
        return;
    }
    if (!isatty(fd)) {
        close(fd);
        out.state = RS232_PORT_NOT_A_TERMINAL;
        return;
    }
    // The hold every user of this component takes; root opens past the terminal's own
    // exclusive mode, so the lock is what shows a port in use.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        out.error = errno;
        out.state = errno == EWOULDBLOCK ? RS232_PORT_BUSY : RS232_PORT_FAILED;
        if (out.state == RS232_PORT_BUSY)
            out.holderPid = HolderOf(st);
    } else {
        // Tried under the hold, so that no other user of the port sees the rate change.
        const bool rateTaken = baud > 0 && rs232_try_speed(fd, static_cast<uint32_t>(baud)) == 0;
        (void)flock(fd, LOCK_UN);
        out.state = rateTaken ? RS232_PORT_USABLE : RS232_PORT_BAD_RATE;
    }
    close(fd);
}

} // namespace rs232
