// Converts a three-page HEX image of 192 KB of data (16-byte records, type 02 page records)
// with libKALDUN.so and, on the same input in the same run, with
// `srec_cat IN -intel -o OUT -intel`, and prints the median times and their ratio.
//
//   kaldun_bench [repetitions]     (default 15)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string record(uint16_t address, uint8_t type, const uint8_t* data, std::size_t n) {
    static const char hex[] = "0123456789ABCDEF";
    std::string line = ":";
    uint8_t sum = 0;
    auto put = [&](uint8_t b) {
        sum = static_cast<uint8_t>(sum + b);
        line += hex[b >> 4];
        line += hex[b & 15];
    };
    put(static_cast<uint8_t>(n));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(type);
    for (std::size_t i = 0; i < n; ++i)
        put(data[i]);
    put(static_cast<uint8_t>(-sum));
    return line + "\r\n";
}

// Three full 64 KB pages; pages 1 and 2 are opened by type 02 records.
std::string makeImage(std::size_t& dataBytes) {
    std::string text;
    uint32_t seed = 12345;
    dataBytes = 0;
    for (int page = 0; page < 3; ++page) {
        if (page > 0) {
            const uint8_t segment[2] = {static_cast<uint8_t>(page << 4), 0};
            text += record(0, 0x02, segment, 2);
        }
        for (uint32_t address = 0; address < 0x10000; address += 16) {
            uint8_t data[16];
            for (uint8_t& b : data) {
                seed = seed * 1103515245u + 12345u;
                b = static_cast<uint8_t>(seed >> 16);
            }
            text += record(static_cast<uint16_t>(address), 0x00, data, sizeof data);
            dataBytes += sizeof data;
        }
    }
    return text + ":00000001FF\r\n";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs srec_cat once; negative when it cannot be run or fails.
double timeSrecCat(const std::string& in, const std::string& out) {
    std::vector<std::string> args = {"srec_cat", in, "-intel", "-o", out, "-intel"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "srec_cat", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return millisSince(start);
}

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    void* lib = dlopen((self.parent_path() / "libKALDUN.so").c_str(), RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "kaldun_bench: %s\n", dlerror());
        return 1;
    }
    auto kaldun = reinterpret_cast<int32_t (*)(const char*)>(dlsym(lib, "KALDUN"));
    if (!kaldun) {
        std::fprintf(stderr, "kaldun_bench: KALDUN not exported\n");
        return 1;
    }

    char dirTemplate[] = "/tmp/kaldun-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("kaldun_bench: mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dirTemplate;
    const std::string in = dir / "image.hex";
    std::size_t dataBytes = 0;
    const std::string image = makeImage(dataBytes);
    std::ofstream(in, std::ios::binary) << image;
    std::printf("input: %zu bytes of data in %zu bytes of HEX text, 3 pages, %d repetitions\n",
                dataBytes, image.size(), reps);

    std::vector<double> ours, theirs;
    for (int i = 0; i < reps; ++i) {
        // Interleaved, so that both see the same state of the machine.
        const auto start = Clock::now();
        const int32_t result = kaldun(in.c_str());
        ours.push_back(millisSince(start));
        if (result != 0) {
            std::fprintf(stderr, "kaldun_bench: KALDUN returned %d\n", result);
            std::filesystem::remove_all(dir);
            return 1;
        }
        const double t = timeSrecCat(in, dir / "out.hex");
        if (t >= 0)
            theirs.push_back(t);
    }
    const auto plnSize = std::filesystem::file_size(dir / "image.PLN");
    std::filesystem::remove_all(dir);

    const double oursMs = median(ours);
    std::printf("KALDUN:   median %.3f ms (min %.3f, max %.3f), PLN %ju bytes\n", oursMs,
                *std::min_element(ours.begin(), ours.end()),
                *std::max_element(ours.begin(), ours.end()), static_cast<uintmax_t>(plnSize));
    if (theirs.size() != ours.size()) {
        std::printf("srec_cat: not available or failed; no comparison (apt-get install srecord)\n");
        return 0;
    }
    const double theirsMs = median(theirs);
    std::printf("srec_cat: median %.3f ms (min %.3f, max %.3f)\n", theirsMs,
                *std::min_element(theirs.begin(), theirs.end()),
                *std::max_element(theirs.begin(), theirs.end()));
    const double ratio = oursMs / theirsMs;
    std::printf("ratio KALDUN/srec_cat: %.3f (target <= 0.5: %s)\n", ratio,
                ratio <= 0.5 ? "met" : "NOT met");
    return 0;
}
