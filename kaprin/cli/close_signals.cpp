#include "kaprin/cli/close_signals.h"

#include "kaprin/cli/exit_status.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace kaprin::cli {

namespace {

int g_writeFd = -1;

int g_readFd = -1;

volatile sig_atomic_t g_requests = 0;

extern "C" void OnCloseSignal(int signo) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signo);
    if (g_writeFd >= 0)
        (void)!write(g_writeFd, &byte, 1);
    // The first request may be stuck behind a wait that never looks at the pipe again (a
    // held lock, a blocked file): the second one ends the program here, whatever it does.
    g_requests = g_requests + 1;
    if (g_requests >= 2)
        _exit(kExitInterrupted);
    errno = saved;
}

} // namespace

int InstallCloseSignals() {
    if (g_readFd >= 0)
        return g_readFd;
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    for (int fd : fds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_readFd = fds[0];
    g_writeFd = fds[1];

    struct sigaction sa {};
    sa.sa_handler = OnCloseSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller ignores stays ignored: nohup, or a shell's background job.
        struct sigaction old {};
        if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        sigaction(signo, &sa, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    return g_readFd;
}

} // namespace kaprin::cli
