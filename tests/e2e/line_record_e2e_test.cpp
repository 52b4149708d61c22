// The line's record from kaprin-cli into scanner-sim: a pinned image, a unit id read from
// standard input, the event stream and the metrics of one good download; and a refused
// image that sends nothing.
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

// Runs kaprin-cli through the shell with `input` on its standard input; its exit status.
int RunCli(const kaprin::test::TempDir& dir, const std::string& sim, const std::string& args,
           const std::string& input) {
    const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "kaprin-cli");
    const std::string command = "printf '" + input + "' | env XDG_CONFIG_HOME='" +
                                dir.path().string() + "/config' RS232_COM1='" + sim +
                                "' timeout 60 '" + program + "' --port 1 --baud 115200 " + args +
                                " > '" + dir.path().string() + "/out' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LineRecordE2e, PinnedUnitEventsMetricsAndRefusal) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    kaprin::test::TempDir dir;
    const std::string image = dir.Write("FW.PLN", testsupport::MakePlnImage({}));
    const std::string sumCommand =
        "cd '" + dir.path().string() + "' && sha256sum FW.PLN > SHA256SUMS";
    ASSERT_EQ(std::system(sumCommand.c_str()), 0);
    const std::string hash =
        kaprin::test::ReadTextFile(dir.path().string() + "/SHA256SUMS").substr(0, 64);
    fs::create_directories(dir.path().string() + "/metrics");
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--baud", "115200", "--log", dir.path().string() + "/sim.log"}, error))
        << error;

    // 1. The label is scanned before the device: it waits in the input.
    const std::string log = dir.path().string() + "/line.log",
                      events = dir.path().string() + "/events.jsonl";
    ASSERT_EQ(RunCli(dir, sim.SlavePath(),
                     "-C -F=" + image + " --require-pin --ask-unit --order 'WO 7' --log " + log +
                         " --events " + events + " --metrics-dir " + dir.path().string() +
                         "/metrics",
                     "SN-0042\\n"),
              0)
        << kaprin::test::ReadTextFile(dir.path().string() + "/out");
    const std::string line = kaprin::test::ReadTextFile(log);
    EXPECT_NE(line.find("\tok 0\t"), std::string::npos) << line;
    EXPECT_NE(line.find(" sha256=" + hash + " unit=SN-0042 operator="), std::string::npos) << line;
    EXPECT_NE(line.find(" order=WO%207\n"), std::string::npos) << line;

    std::vector<std::string> names;
    nlohmann::json outcome;
    std::istringstream in(kaprin::test::ReadTextFile(events));
    for (std::string text; std::getline(in, text);) {
        const nlohmann::json e = nlohmann::json::parse(text);
        if (names.empty() || names.back() != e["event"])
            names.push_back(e["event"]);
        if (e["event"] == "outcome")
            outcome = e;
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"device_found", "downloading", "outcome", "stopped"}));
    EXPECT_EQ(outcome["unit"], "SN-0042");
    EXPECT_EQ(outcome["order"], "WO 7");
    EXPECT_EQ(outcome["image_sha256"], hash);
    EXPECT_EQ(outcome["outcome"], "ok");
    const std::string metrics =
        kaprin::test::ReadTextFile(dir.path().string() + "/metrics/kaprin-" +
                                   fs::path(sim.SlavePath()).filename().string() + ".prom");
    EXPECT_NE(metrics.find(",outcome=\"ok\"} 1\n"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find(",state=\"stopped\"} 1\n"), std::string::npos) << metrics;

    // 2. Another pin: refused before anything is sent, with both hashes named.
    const std::string other(64, 'e');
    EXPECT_EQ(RunCli(dir, sim.SlavePath(),
                     "-C -F=" + image + " --expect-sha256 " + other + " --log " + log, ""),
              77);
    const std::string said = kaprin::test::ReadTextFile(dir.path().string() + "/out");
    EXPECT_NE(said.find(hash), std::string::npos) << said;
    EXPECT_NE(said.find(other), std::string::npos) << said;
    sim.Stop();
    EXPECT_NE(kaprin::test::ReadTextFile(log).find("\trefused\t"), std::string::npos);
    const std::string simLog = kaprin::test::ReadTextFile(dir.path().string() + "/sim.log");
    EXPECT_EQ(simLog.find("download 2"), std::string::npos) << simLog;
}

} // namespace
