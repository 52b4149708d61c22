#include "scanner_sim_process.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

std::string ScannerSimPath() {
    if (const char* path = std::getenv("SCANNER_SIM"); path != nullptr && *path != '\0')
        return path;
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return "scanner-sim";
    return (std::filesystem::path(std::string(self, static_cast<size_t>(n))).parent_path() /
            "scanner-sim")
        .string();
}

std::string PseudoTerminalProblem() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return std::string("posix_openpt: ") + std::strerror(errno);
    std::string problem;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr)
        problem = std::string("grantpt/unlockpt: ") + std::strerror(errno);
    close(master);
    return problem;
}

bool ScannerSimProcess::Start(const std::vector<std::string>& options, std::string& error) {
    Stop();
    const std::string binary = ScannerSimPath();
    int out[2];
    if (pipe(out) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<std::string> words{binary};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        pid_ = -1;
        error = "cannot start " + binary + ": " + std::strerror(rc);
        return false;
    }

    // The first line names the slave.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char chunk[256];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        line.append(chunk, static_cast<size_t>(n));
    }
    close(out[0]);
    const std::string prefix = "RS232_COM1=";
    const size_t end = line.find('\n');
    if (end == std::string::npos || line.compare(0, prefix.size(), prefix) != 0) {
        error = "scanner-sim did not name its terminal (got \"" + line + "\")";
        Kill();
        return false;
    }
    slavePath_ = line.substr(prefix.size(), end - prefix.size());
    return true;
}

int ScannerSimProcess::WaitExit(int timeoutMs) {
    if (pid_ < 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno != EINTR)) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int ScannerSimProcess::Stop() {
    if (pid_ < 0)
        return -1;
    kill(pid_, SIGTERM);
    const int status = WaitExit(5000);
    if (status >= 0)
        return status;
    Kill();
    return -1;
}

void ScannerSimProcess::Kill() {
    if (pid_ < 0)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

} // namespace testsupport
