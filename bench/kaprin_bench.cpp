// The real Kaprin, offscreen, flashing a 128 KB image into scanner-sim at 115200 baud
// with "-C". Prints the transfer's elapsed time over its ideal wire time, and the share
// of one core the Kaprin process uses while it waits for a device and while it
// transfers. Run from a release build: build/bin/kaprin_bench
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
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

// With --realtime (as root) the simulator and Kaprin run under SCHED_FIFO, so that other
// work on a busy machine weighs less on the timing.
bool gRealtime = false;

void MakeRealtime(pid_t pid) {
    if (!gRealtime)
        return;
    sched_param param{};
    param.sched_priority = 10;
    if (sched_setscheduler(pid, SCHED_FIFO, &param) != 0)
        std::perror("kaprin_bench: SCHED_FIFO");
}

pid_t StartKaprin(const fs::path& program, const std::string& image, const std::string& config,
                  const std::string& port, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        MakeRealtime(0);
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

struct Transfer {
    bool complete = false;
    long frames = 0;
    double wireBytes = 0; // between the first frame and the last
    double elapsed = 0, ideal = 0, ratio = 0;
    double cpu = 0, windowCpu = 0; // of the measured process while it transferred
};

// Follows the simulator's log, which gets a line for each frame as it arrives: the time
// from the first frame to the last against the wire time of the frames and answers in
// between. `poll` runs at every look at the log.
Transfer TimeTransfer(const std::string& log, pid_t process, const std::function<void()>& poll) {
    Transfer t;
    std::ifstream in;
    std::string pending;
    double lastFrameBytes = 0, cpuFirst = 0, windowFirst = 0;
    Clock::time_point firstAt{}, lastAt{};
    const auto deadline = Clock::now() + 180s;
    while (!t.complete && Clock::now() < deadline) {
        poll();
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
                if (t.frames == 0) {
                    firstAt = now;
                    if (process) {
                        cpuFirst = testsupport::CpuSeconds(process);
                        windowFirst = testsupport::CpuSeconds(process, process);
                    }
                } else {
                    t.wireBytes += lastFrameBytes;
                }
                lastFrameBytes = bytes;
                lastAt = now;
                if (process) {
                    t.cpu = testsupport::CpuSeconds(process) - cpuFirst;
                    t.windowCpu = testsupport::CpuSeconds(process, process) - windowFirst;
                }
                ++t.frames;
            } else if (line.find("complete") != std::string::npos) {
                t.complete = true;
            }
        }
        std::this_thread::sleep_for(1ms);
    }
    t.elapsed = Seconds(firstAt, lastAt);
    t.ideal = t.wireBytes * 10.0 / kBaud;
    t.ratio = t.ideal > 0 ? t.elapsed / t.ideal : 0;
    return t;
}

void Report(const char* who, const Transfer& t) {
    std::printf("%s: %ld frames, %.0f bytes on the wire between the first and the last; "
                "elapsed %.3f s, ideal %.3f s at %ld baud, ratio %.4f (target <= %.2f)%s\n",
                who, t.frames, t.wireBytes, t.elapsed, t.ideal, kBaud, t.ratio, kTargetRatio,
                t.complete ? "" : " INCOMPLETE");
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--realtime") {
            gRealtime = true;
        } else {
            std::fprintf(stderr, "usage: kaprin_bench [--realtime]\n");
            return 2;
        }
    }
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    kaprin::test::TempDir dir;
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
        const pid_t kaprin =
            StartKaprin(bin / "Kaprin", image, dir.path().string() + "/wait-config",
                        sim.SlavePath(), dir.path().string() + "/wait.err");
        std::this_thread::sleep_for(1500ms); // start-up and the first probes
        const auto t0 = Clock::now();
        const double c0 = testsupport::CpuSeconds(kaprin);
        std::this_thread::sleep_for(5s);
        const double c1 = testsupport::CpuSeconds(kaprin);
        const auto t1 = Clock::now();
        if (c0 >= 0 && c1 >= 0)
            waitShare = (c1 - c0) / Seconds(t0, t1);
        kill(kaprin, SIGTERM);
        WaitFor(kaprin, 10s);
        std::printf("waiting for a device: %.3f s of CPU in %.2f s, share %.4f (target <= %.2f)\n",
                    c1 - c0, Seconds(t0, t1), waitShare, kTargetCpu);
    }

    // 2. The transfer through Kaprin.
    testsupport::ScannerSimProcess sim;
    const std::string log = dir.path().string() + "/sim.log";
    if (!sim.Start({"--baud", std::to_string(kBaud), "--log", log}, error)) {
        std::fprintf(stderr, "kaprin_bench: %s\n", error.c_str());
        return 2;
    }
    MakeRealtime(sim.Pid());
    const auto started = Clock::now();
    const pid_t kaprin = StartKaprin(bin / "Kaprin", image, dir.path().string() + "/config",
                                     sim.SlavePath(), dir.path().string() + "/run.err");
    const Transfer run = TimeTransfer(log, kaprin, [] {});
    const int status = WaitFor(kaprin, 60s);
    const auto ended = Clock::now();
    sim.Stop();
    Report("Kaprin", run);
    const double transferShare = run.elapsed > 0 ? run.cpu / run.elapsed : -1;
    std::printf("transferring: %.3f s of CPU, share %.4f (target <= %.2f); the window's thread "
                "%.3f s, the download library's worker %.3f s\n",
                run.cpu, transferShare, kTargetCpu, run.windowCpu, run.cpu - run.windowCpu);
    std::printf("whole run: Kaprin exited with %d after %.2f s (start-up, probes, transfer, "
                "close)\n",
                status, Seconds(started, ended));

    // 3. For reference, the download library alone on this machine, timed the same way.
    double libraryRatio = -1;
    if (void* pellin = dlopen((bin / "libPellin.so").c_str(), RTLD_NOW)) {
        auto usePort = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(dlsym(pellin, "usePort"));
        auto botLoad = reinterpret_cast<void (*)(const char*)>(dlsym(pellin, "BotLoad"));
        auto getPercent = reinterpret_cast<int32_t (*)()>(dlsym(pellin, "getPercent"));
        auto getError = reinterpret_cast<int32_t (*)()>(dlsym(pellin, "getError"));
        testsupport::ScannerSimProcess alone;
        const std::string aloneLog = dir.path().string() + "/alone.log";
        if (usePort && botLoad && getPercent && getError &&
            alone.Start({"--baud", std::to_string(kBaud), "--log", aloneLog}, error)) {
            MakeRealtime(alone.Pid());
            MakeRealtime(0); // the library's worker inherits it
            setenv("RS232_COM1", alone.SlavePath().c_str(), 1);
            usePort(0, kBaud);
            botLoad(image.c_str());
            const Transfer reference = TimeTransfer(aloneLog, 0, [&] {
                getPercent();
                getError();
            });
            std::this_thread::sleep_for(100ms); // the worker closes the port
            alone.Stop();
            Report("library alone", reference);
            libraryRatio = reference.ratio;
        }
    }
    if (libraryRatio > 0)
        std::printf("Kaprin's own share of the overhead: %.4f - %.4f = %.4f\n", run.ratio,
                    libraryRatio, run.ratio - libraryRatio);

    const bool ok = run.complete && status == 0 && run.ratio > 0 && run.ratio <= kTargetRatio &&
                    waitShare >= 0 && waitShare <= kTargetCpu && transferShare >= 0 &&
                    transferShare <= kTargetCpu;
    std::printf("%s\n", ok ? "all targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}
