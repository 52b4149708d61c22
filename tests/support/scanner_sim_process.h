// Runs scanner-sim as a child process for end-to-end tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// The scanner-sim binary: $SCANNER_SIM when set, else the one beside the running test.
std::string ScannerSimPath();

// Empty when a pseudo-terminal can be had here, else the reason why not.
std::string PseudoTerminalProblem();

class ScannerSimProcess {
public:
    ScannerSimProcess() = default;
    ScannerSimProcess(const ScannerSimProcess&) = delete;
    ScannerSimProcess& operator=(const ScannerSimProcess&) = delete;
    ~ScannerSimProcess() { Stop(); }

    // Starts scanner-sim with the options and reads its slave path (up to 5 s).
    // On failure returns false with the reason in error.
    bool Start(const std::vector<std::string>& options, std::string& error);

    // The pseudo-terminal the simulator answers on, e.g. /dev/pts/3.
    const std::string& SlavePath() const { return slavePath_; }
    pid_t Pid() const { return pid_; }

    // Ends it with SIGTERM (the log then gets its totals line) and returns its exit status,
    // or -1 when it was not running.
    int Stop();
    // Ends it at once with SIGKILL, as a device pulled from the port.
    void Kill();
    // Waits up to timeoutMs for it to exit on its own; returns its exit status or -1.
    int WaitExit(int timeoutMs);

private:
    pid_t pid_ = -1;
    std::string slavePath_;
};

} // namespace testsupport

// Skips the current test when no pseudo-terminal can be had.
#define SKIP_WITHOUT_PSEUDO_TERMINAL()                                                             \
    do {                                                                                           \
        const std::string problem = ::testsupport::PseudoTerminalProblem();                        \
        if (!problem.empty())                                                                      \
            GTEST_SKIP() << "needs a pseudo-terminal: " << problem;                                \
    } while (0)
