// Sends a 128 KB image through libPellin.so and the serial component into scanner-sim pacing
// the line, and compares the time taken with the time the bytes need on the wire.
//
//   pellin_bench [--baud 115200] [--turnaround-us 50] [--lines-per-bank 1024] [--realtime]
//                [--refuse-rate 0.02]
//
// --refuse-rate has the simulator refuse that share of frames at random, and compares the
// time with a clean run of the same image: each refusal should cost about one frame again.
// --realtime runs this process (and so the library's worker and the simulator, which inherit
// it) under SCHED_FIFO, to take the scheduling delays of a loaded machine out of the figures.
#include "pellin/pellin.h"
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long Field(const std::string& text, const std::string& name) {
    const size_t at = text.rfind(name + "=");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size() + 1);
}

// How late a sleep of about one frame's wire time wakes on this machine: the floor under any
// figure measured here, since the simulator and the library each wake once per frame.
double SleepLatenessUs() {
    using namespace std::chrono;
    double total = 0;
    constexpr int kSamples = 100;
    for (int i = 0; i < kSamples; ++i) {
        const auto start = steady_clock::now();
        std::this_thread::sleep_for(microseconds(3900));
        total += duration<double, std::micro>(steady_clock::now() - start).count() - 3900;
    }
    return total / kSamples;
}

double Field2(const std::string& text, const std::string& name) {
    const size_t at = text.rfind(name + "=");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + name.size() + 1);
}

struct Download {
    double elapsed = 0;
    double cpu = 0;
    int32_t blocks = 0;
    std::string totals; // the simulator's log
};

// One download of image into a fresh simulator; false (with a message) when it failed.
bool RunDownload(long baud, long turnaroundUs, double refuseRate, const std::string& image,
                 const std::string& log, Download& run) {
    std::vector<std::string> args{
        "--baud", std::to_string(baud), "--turnaround", std::to_string(turnaroundUs), "--log", log};
    if (refuseRate > 0) {
        args.push_back("--refuse-rate");
        args.push_back(std::to_string(refuseRate));
    }
    testsupport::ScannerSimProcess sim;
    std::string error;
    if (!sim.Start(args, error)) {
        std::fprintf(stderr, "pellin_bench: %s\n", error.c_str());
        return false;
    }
    testsupport::MapComPort(1, sim.SlavePath());
    if (usePort(0, static_cast<int32_t>(baud)) != 0) {
        std::fprintf(stderr, "pellin_bench: usePort refused the rate\n");
        return false;
    }

    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    BotLoad(image.c_str());
    int32_t percent = 0;
    int32_t code = 0;
    while (percent != 100 && code == 0) {
        // The poll itself must not weigh on the CPU measure: 10 ms between polls costs at
        // most 10 ms of a 30 s run in the elapsed time.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        percent = getPercent();
        code = getError();
    }
    run.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = CpuSeconds() - cpuBefore;
    run.blocks = getBlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the worker closes the port
    sim.Stop();

    run.totals = kaprin::test::ReadTextFile(log);
    const long frames = Field(run.totals, "frames");
    if (code != 0 || frames < 0) {
        std::fprintf(stderr, "pellin_bench: the download failed (code %d, %ld frames)\n", code,
                     frames);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    long baud = 115200;
    long turnaroundUs = 50;
    int linesPerBank = 1024; // 8 x 1024 lines of 16 bytes: 128 KB
    bool realtime = false;
    double refuseRate = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--realtime") == 0) {
            realtime = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        if (std::strcmp(argv[i], "--baud") == 0)
            baud = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--turnaround-us") == 0)
            turnaroundUs = std::atol(argv[i + 1]);
        else if (std::strcmp(argv[i], "--refuse-rate") == 0)
            refuseRate = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--lines-per-bank") == 0)
            linesPerBank = std::atoi(argv[i + 1]);
        ++i;
    }
    if (baud <= 0 || turnaroundUs < 0 || linesPerBank <= 0 || refuseRate < 0 || refuseRate >= 1) {
        std::fprintf(stderr, "usage: pellin_bench [--baud B] [--turnaround-us US] "
                             "[--lines-per-bank N] [--refuse-rate P]\n");
        return 2;
    }
    const std::string problem = testsupport::PseudoTerminalProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "pellin_bench: needs a pseudo-terminal: %s\n", problem.c_str());
        return 77;
    }

    if (realtime) {
        sched_param param{};
        param.sched_priority = 10;
        if (sched_setscheduler(0, SCHED_FIFO, &param) != 0) {
            std::perror("pellin_bench: SCHED_FIFO");
            return 1;
        }
    }

    const double sleepLateUs = SleepLatenessUs();

    kaprin::test::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = linesPerBank;
    const std::string image = dir.Write("bench.pln", testsupport::MakePlnImage(layout));
    const std::string log = dir.path().string() + "/sim.log";

    Download clean;
    if (!RunDownload(baud, turnaroundUs, 0, image, log, clean))
        return 1;
    const double elapsed = clean.elapsed;
    const double cpu = clean.cpu;
    const int32_t blocks = clean.blocks;
    const std::string& totals = clean.totals;
    const long frames = Field(totals, "frames");
    const long rx = Field(totals, "rx_bytes");
    const long tx = Field(totals, "tx_bytes");
    const double wire = static_cast<double>(rx + tx) * 10.0 / static_cast<double>(baud) +
                        static_cast<double>(frames) * static_cast<double>(turnaroundUs) / 1e6;

    std::printf("image            %d data lines of 16 bytes, %d blocks sent\n", 8 * linesPerBank,
                blocks);
    std::printf("line             %ld baud, device turnaround %ld us per frame%s\n", baud,
                turnaroundUs, realtime ? ", SCHED_FIFO" : "");
    std::printf("frames           %ld, %ld bytes sent, %ld bytes answered\n", frames, rx, tx);
    std::printf("ideal wire time  %.3f s\n", wire);
    std::printf("elapsed          %.3f s\n", elapsed);
    std::printf("simulator        answers %.1f us late on average; client took %.1f us from an "
                "answer to its next frame\n",
                Field2(totals, "answer_late_us"), Field2(totals, "client_turn_us"));
    std::printf("elapsed / ideal  %.4f   (target <= 1.02)\n", elapsed / wire);
    std::printf("  less the simulator's late answers: %.4f\n",
                (elapsed - Field2(totals, "answer_late_s")) / wire);
    std::printf("machine          a 3.9 ms sleep here wakes %.1f us late on average\n",
                sleepLateUs);
    std::printf("cpu / elapsed    %.4f   (target <= 0.05; %.3f s of CPU in this process)\n",
                cpu / elapsed, cpu);
    if (refuseRate > 0) {
        Download refused;
        if (!RunDownload(baud, turnaroundUs, refuseRate, image, log, refused))
            return 1;
        std::printf("refusals         %.1f %% of frames: %ld frames, elapsed %.3f s\n",
                    refuseRate * 100, Field(refused.totals, "frames"), refused.elapsed);
        std::printf("refused / clean  %.4f   (target <= %.2f: one frame again per refusal)\n",
                    refused.elapsed / elapsed, 1 + 3 * refuseRate);
    }
    return 0;
}
