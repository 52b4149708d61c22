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

// Points port COM<number> of the serial component at path for this process.
void MapComPort(int number, const std::string& path);

// Reads a whole text file; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

// CPU seconds (user and system) a running process, or one of its threads, has used so far;
// -1 when /proc does not tell.
double CpuSeconds(pid_t pid, pid_t thread = 0);

// A fresh directory under the system's temporary folder, removed with its files at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Writes text to a file in the directory and returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

} // namespace testsupport

// Skips the current test when no pseudo-terminal can be had.
#define SKIP_WITHOUT_PSEUDO_TERMINAL()                                                             \
    do {                                                                                           \
        const std::string problem = ::testsupport::PseudoTerminalProblem();                        \
        if (!problem.empty())                                                                      \
            GTEST_SKIP() << "needs a pseudo-terminal: " << problem;                                \
    } while (0)
