// Many production stations on one computer: N kaprin-cli processes in the automatic mode,
// each on its own scanner-sim pacing at 115200 baud, each flashing several scanners in a
// row (the simulator is taken away after each download and comes back as a new one).
// For N = 1, 2, 4, 8, 16 it prints the median transfer time of a station over the lone
// station's in the same run, and the share of one core that all stations together used.
// Run from a release build: build/bin/stations_bench [--devices K] [--stations 1,2,4]
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "test_process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    std::vector<int> stations{1, 2, 4, 8, 16};
    int devices = 3;       // scanners flashed in a row by each station
    int linesPerBank = 48; // 8 banks x 48 lines x 16 bytes: a 6 KB image
    int awayMs = 300;      // how long a flashed scanner stays unplugged
    int timeoutS = 600;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// The transfer time of a log line: its field that reads "<seconds> s".
double TransferSeconds(const std::string& line) {
    std::stringstream in(line);
    for (std::string col; std::getline(in, col, '\t');)
        if (col.size() > 2 && col.compare(col.size() - 2, 2, " s") == 0)
            return std::atof(col.c_str());
    return -1;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

pid_t StartStation(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& extraEnv, const std::string& out) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct Round {
    int stations = 0;
    std::vector<double> transfers;
    double wallS = 0;
    double stationCpuS = 0;
    double simCpuS = 0;
    bool complete = true;
};

Round RunRound(const Options& o, int n, const fs::path& dir, const std::string& image) {
    Round r;
    r.stations = n;
    const std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "kaprin-cli");
    std::vector<std::unique_ptr<testsupport::ScannerSimProcess>> sims;
    std::vector<pid_t> pids;
    std::vector<std::string> logs;
    for (int i = 0; i < n; ++i) {
        auto sim = std::make_unique<testsupport::ScannerSimProcess>();
        std::string error;
        if (!sim->Start({"--baud", "115200", "--away", std::to_string(o.awayMs)}, error)) {
            std::fprintf(stderr, "scanner-sim: %s\n", error.c_str());
            std::exit(1);
        }
        logs.push_back((dir / ("n" + std::to_string(n) + "-s" + std::to_string(i) + ".log")));
        sims.push_back(std::move(sim));
    }
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        const std::string out = logs[i] + ".out";
        pids.push_back(StartStation(
            cli, {"-A", "-F=" + image, "--yes", "--port", "1", "--log", logs[i]},
            {"RS232_COM1=" + sims[i]->SlavePath(), "XDG_CONFIG_HOME=" + (dir / "config").string()},
            out));
    }
    // Until every station has flashed its scanners.
    for (auto end = start + std::chrono::seconds(o.timeoutS);;) {
        bool all = true;
        for (const auto& log : logs)
            all = all && static_cast<int>(Lines(log).size()) >= o.devices;
        if (all)
            break;
        if (Clock::now() > end) {
            r.complete = false;
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    r.wallS = Seconds(Clock::now() - start);
    for (auto& sim : sims)
        r.simCpuS += testsupport::CpuSeconds(sim->Pid());
    for (pid_t pid : pids)
        kill(pid, SIGTERM);
    for (pid_t pid : pids) {
        int status = 0;
        rusage use{};
        if (wait4(pid, &status, 0, &use) == pid)
            r.stationCpuS += Seconds(std::chrono::seconds(use.ru_utime.tv_sec) +
                                     std::chrono::microseconds(use.ru_utime.tv_usec) +
                                     std::chrono::seconds(use.ru_stime.tv_sec) +
                                     std::chrono::microseconds(use.ru_stime.tv_usec));
    }
    for (auto& sim : sims)
        sim->Stop();
    for (const auto& log : logs) {
        std::vector<std::string> lines = Lines(log);
        for (int k = 0; k < o.devices && k < static_cast<int>(lines.size()); ++k) {
            if (lines[k].find("\tok 0\t") == std::string::npos)
                r.complete = false;
            r.transfers.push_back(TransferSeconds(lines[k]));
        }
    }
    return r;
}

std::vector<int> ParseList(const char* text) {
    std::vector<int> v;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (std::atoi(item.c_str()) > 0)
            v.push_back(std::atoi(item.c_str()));
    return v;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--devices" && next)
            o.devices = std::max(1, std::atoi(argv[++i]));
        else if (a == "--stations" && next)
            o.stations = ParseList(argv[++i]);
        else if (a == "--lines-per-bank" && next)
            o.linesPerBank = std::max(1, std::atoi(argv[++i]));
        else if (a == "--away" && next)
            o.awayMs = std::max(0, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: stations_bench [--stations 1,2,4,8,16] [--devices 3] "
                                 "[--lines-per-bank 48] [--away 300]\n");
            return 2;
        }
    }
    if (o.stations.empty() || o.stations.front() != 1)
        o.stations.insert(o.stations.begin(), 1); // the lone station is the yardstick
    const std::string problem = testsupport::PseudoTerminalProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "needs pseudo-terminals: %s\n", problem.c_str());
        return 1;
    }

    char pattern[] = "/tmp/stations-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path dir = pattern;
    testsupport::PlnLayout layout;
    layout.linesPerBank = o.linesPerBank;
    const std::string image = (dir / "X.PLN").string();
    std::ofstream(image, std::ios::binary) << testsupport::MakePlnImage(layout);

    std::printf("stations_bench: %d scanner(s) in a row per station, %d data lines of 16 bytes "
                "(%d KB), 115200 baud, %ld core(s)\n",
                o.devices, 8 * o.linesPerBank, 8 * o.linesPerBank * 16 / 1024,
                sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("%8s %10s %16s %14s %18s %16s\n", "stations", "transfers", "median transfer",
                "ratio to one", "stations' CPU", "simulators' CPU");
    double lone = 0;
    bool complete = true;
    for (int n : o.stations) {
        Round r = RunRound(o, n, dir, image);
        const double median = Median(r.transfers);
        if (n == 1)
            lone = median;
        complete = complete && r.complete;
        std::printf("%8d %10zu %14.3f s %14.3f %17.1f%% %15.1f%%%s\n", n, r.transfers.size(),
                    median, lone > 0 ? median / lone : 0.0, 100 * r.stationCpuS / r.wallS,
                    100 * r.simCpuS / r.wallS, r.complete ? "" : "  (incomplete)");
        std::fflush(stdout);
    }
    std::printf("CPU is the share of one core over the round's wall time. Targets: ratio at "
                "most 1.05 at 8 stations and 1.10 at 16; the stations together well under "
                "one core.\n");
    std::error_code ec;
    fs::remove_all(dir, ec);
    return complete ? 0 : 1;
}
