// The real Kaprin, offscreen, flashing a 128 KB image into scanner-sim at 115200 baud
// with "-C". Prints the transfer's elapsed time over its ideal wire time, and the share
// of one core the Kaprin process uses while it waits for a device and while it
// transfers. Run from a release build: build/bin/kaprin_bench
#include "pln_image.h"
#include "scanner_sim_process.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr long kBaud = 115200;
constexpr double kTargetRatio = 1.03;
constexpr double kTargetCpu = 0.05;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// User and system time of a process, all its threads, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    std::string field;
    for (char c : stat.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    // Fields 14 and 15 of the line; the list starts at field 3.
    if (fields.size() < 13)
        return -1;
    const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t StartKaprin(const fs::path& program, const std::string& image, const std::string& config,
                  const std::string& port, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("RS232_COM1", port.c_str(), 1);
        if (FILE* err = std::fopen(errPath.c_str(), "w"))
            dup2(fileno(err), STDERR_FILENO);
        const std::string file = "-F=" + image;
        execl(program.c_str(), program.c_str(), "-C", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitFor(pid_t pid, std::chrono::seconds limit) {
    const auto until = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < until) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

} // namespace

int main() {
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    testsupport::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 1024; // 8 banks of 16 KB
    const std::string image = dir.Write("BENCH.PLN", testsupport::MakePlnImage(layout));
    std::printf("image: %s, %d KB of data in %d data lines\n", image.c_str(),
                layout.banks * layout.linesPerBank * 16 / 1024, layout.banks * layout.linesPerBank);
    std::string error;

    // 1. Waiting for a device: the port answers nothing.
    double waitShare = -1;
    {
        testsupport::ScannerSimProcess sim;
        if (!sim.Start({"--no-echo"}, error)) {
            std::fprintf(stderr, "kaprin_bench: %s\n", error.c_str());
            return 2;
        }
        const pid_t kaprin = StartKaprin(bin / "Kaprin", image, dir.Path() + "/wait-config",
                                         sim.SlavePath(), dir.Path() + "/wait.err");
        std::this_thread::sleep_for(1500ms); // start-up and the first probes
        const auto t0 = Clock::now();
        const double c0 = CpuSeconds(kaprin);
        std::this_thread::sleep_for(5s);
        const double c1 = CpuSeconds(kaprin);
        const auto t1 = Clock::now();
        if (c0 >= 0 && c1 >= 0)
            waitShare = (c1 - c0) / Seconds(t0, t1);
        kill(kaprin, SIGTERM);
        WaitFor(kaprin, 10s);
        std::printf("waiting for a device: %.3f s of CPU in %.2f s, share %.4f (target <= %.2f)\n",
                    c1 - c0, Seconds(t0, t1), waitShare, kTargetCpu);
    }

    // 2. The transfer, timed by the simulator's log of each frame as it arrives.
    testsupport::ScannerSimProcess sim;
    const std::string log = dir.Path() + "/sim.log";
    if (!sim.Start({"--baud", std::to_string(kBaud), "--log", log}, error)) {
        std::fprintf(stderr, "kaprin_bench: %s\n", error.c_str());
        return 2;
    }
    const auto started = Clock::now();
    const pid_t kaprin = StartKaprin(bin / "Kaprin", image, dir.Path() + "/config", sim.SlavePath(),
                                     dir.Path() + "/run.err");
    std::ifstream in;
    std::string pending;
    long frames = 0;
    double wireBytes = 0, lastFrameBytes = 0;
    Clock::time_point firstAt{}, lastAt{};
    double cpuFirst = -1, cpuLast = -1;
    bool complete = false;
    const auto deadline = started + 180s;
    while (!complete && Clock::now() < deadline) {
        if (!in.is_open())
            in.open(log);
        if (in.is_open()) {
            in.clear();
            char chunk[65536];
            while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
                pending.append(chunk, static_cast<std::size_t>(in.gcount()));
                if (in.eof())
                    break;
            }
        }
        const auto now = Clock::now();
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("frame ", 0) == 0) {
                const auto open = line.find('"'), close = line.rfind('"');
                // The frame's text and its LF go out; one answer byte comes back.
                const double bytes = static_cast<double>(close - open - 1) + 1 + 1;
                if (frames == 0) {
                    firstAt = now;
                    cpuFirst = CpuSeconds(kaprin);
                } else {
                    wireBytes += lastFrameBytes;
                }
                lastFrameBytes = bytes;
                lastAt = now;
                cpuLast = CpuSeconds(kaprin);
                ++frames;
            } else if (line.find("complete") != std::string::npos) {
                complete = true;
            }
        }
        std::this_thread::sleep_for(1ms);
    }
    const int status = WaitFor(kaprin, 60s);
    const auto ended = Clock::now();
    sim.Stop();

    const double elapsed = Seconds(firstAt, lastAt);
    const double ideal = wireBytes * 10.0 / kBaud;
    const double ratio = ideal > 0 ? elapsed / ideal : 0;
    const double transferShare = elapsed > 0 ? (cpuLast - cpuFirst) / elapsed : -1;
    std::printf("transfer: %ld frames, %.0f bytes on the wire between the first and the last\n",
                frames, wireBytes);
    std::printf("transfer: elapsed %.3f s, ideal %.3f s at %ld baud, ratio %.4f (target <= %.2f)\n",
                elapsed, ideal, kBaud, ratio, kTargetRatio);
    std::printf("transferring: %.3f s of CPU, share %.4f (target <= %.2f)\n", cpuLast - cpuFirst,
                transferShare, kTargetCpu);
    std::printf("whole run: Kaprin exited with %d after %.2f s (start-up, probes, transfer, "
                "close)\n",
                status, Seconds(started, ended));
    const bool ok = complete && status == 0 && ratio > 0 && ratio <= kTargetRatio &&
                    waitShare >= 0 && waitShare <= kTargetCpu && transferShare >= 0 &&
                    transferShare <= kTargetCpu;
    std::printf("%s\n", ok ? "all targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}
