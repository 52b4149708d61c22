#include "kaprin/cli/close_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaprin::cli {
namespace {

// In a child process (the handlers are process-wide): Ctrl-C and SIGTERM become bytes in
// the pipe, a SIGHUP that the parent (nohup) ignored stays ignored, and a second request
// ends the process with 130 even when the first was read (a close stuck in a wait).
TEST(CloseSignals, BecomeBytesAndInheritedIgnoresStay) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGHUP, SIG_IGN);
        int fd = InstallCloseSignals();
        if (fd < 0 || InstallCloseSignals() != fd)
            _exit(10);
        raise(SIGHUP);
        unsigned char got[8];
        raise(SIGINT);
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) != 1)
            _exit(11);
        if (read(fd, got, sizeof got) != 1 || got[0] != SIGINT)
            _exit(12);
        raise(SIGTERM);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 130);
}

} // namespace
} // namespace kaprin::cli
