// The cost of the line's record on a 128 KB transfer: one real kaprin-cli download into
// scanner-sim at 115200 baud with the pin check and the event stream on, then the SHA-256
// of the image (taken twice per download: the pin and the record) and the writing of that
// download's events, each timed on its own, as shares of the transfer time.
#include "kaprin/record/download_log.h"
#include "kaprin/record/outcome_event.h"

#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

template <typename F> double MedianSeconds(int runs, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main() {
    if (const std::string problem = testsupport::PseudoTerminalProblem(); !problem.empty()) {
        std::printf("record_bench: %s\n", problem.c_str());
        return 1;
    }
    kaprin::test::TempDir dir;
    // 8 banks of 1024 lines of 16 bytes: 128 KB of data.
    testsupport::PlnLayout layout;
    layout.linesPerBank = 1024;
    const std::string image = dir.Write("FW.PLN", testsupport::MakePlnImage(layout));
    const std::string hash = kaprin::record::Sha256OfFile(image);
    dir.Write("FW.PLN.sha256", hash + "  FW.PLN\n");

    testsupport::ScannerSimProcess sim;
    std::string error;
    if (!sim.Start({"--baud", "115200"}, error)) {
        std::printf("record_bench: %s\n", error.c_str());
        return 1;
    }
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "kaprin-cli");
    const std::string events = dir.path().string() + "/events.jsonl";
    const std::string command = "env XDG_CONFIG_HOME='" + dir.path().string() +
                                "/config' RS232_COM1='" + sim.SlavePath() + "' '" + program +
                                "' --once --yes -F=" + image + " --require-pin --events " + events +
                                " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::printf("record_bench: the download failed\n");
        return 1;
    }
    sim.Stop();

    std::vector<nlohmann::json> objects;
    double transfer = 0;
    std::istringstream in(kaprin::test::ReadTextFile(events));
    for (std::string line; std::getline(in, line);) {
        objects.push_back(nlohmann::json::parse(line));
        if (objects.back()["event"] == "outcome")
            transfer = objects.back()["duration_ms"].get<double>() / 1000;
    }
    if (transfer <= 0) {
        std::printf("record_bench: no outcome in the event stream\n");
        return 1;
    }

    const double hashing = 2 * MedianSeconds(21, [&] { kaprin::record::Sha256OfFile(image); });
    const double streaming = MedianSeconds(21, [&] {
        kaprin::record::EventStream stream;
        stream.Open(dir.path().string() + "/again.jsonl");
        stream.station = "bench";
        for (const nlohmann::json& o : objects)
            stream.Emit(o);
    });
    std::printf("transfer of %zu bytes of PLN text at 115200 baud: %.3f s\n", fs::file_size(image),
                transfer);
    std::printf("SHA-256 twice (pin and record): %.3f ms = %.4f %% of the transfer\n",
                hashing * 1e3, 100 * hashing / transfer);
    std::printf("event stream, %zu events: %.3f ms = %.4f %% of the transfer\n", objects.size(),
                streaming * 1e3, 100 * streaming / transfer);
    std::printf("together: %.4f %%\n", 100 * (hashing + streaming) / transfer);
    return 0;
}
