// A production station as its service unit runs it: the unit's own environment and command
// line, expanded as systemd expands them, into scanner-sim. The station tells a notify
// socket it is ready, downloads, logs the record (here on standard output), and on
// SIGTERM ends with status 0 and its run options saved.
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using kaprin::test::ReadTextFile;

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

TEST(StationService, RunsAsTheUnitRunsItAndStopsCleanlyOnSigterm) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    kaprin::test::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 48; // 6 KB
    const std::string image = dir.Write("my images X.PLN", testsupport::MakePlnImage(layout));
    const std::string simLog = dir.path().string() + "/sim.log";
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--baud", "115200", "--log", simLog}, error)) << error;

    // The instance is the device below /dev, here the simulator's pseudo-terminal.
    const std::string instance = sim.SlavePath().substr(5);
    std::string escaped = instance;
    std::replace(escaped.begin(), escaped.end(), '/', '-');
    std::map<std::string, std::string> env;
    std::string execStart;
    std::istringstream unit(ReadTextFile(KAPRIN_STATION_UNIT));
    for (std::string line; std::getline(unit, line);) {
        ReplaceAll(line, "%I", instance);
        ReplaceAll(line, "%i", escaped);
        ReplaceAll(line, "%S", dir.path().string() + "/state");
        if (line.rfind("Environment=", 0) == 0)
            for (const std::string& a : Words(line.substr(12)))
                env[a.substr(0, a.find('='))] = a.substr(a.find('=') + 1);
        if (line.rfind("ExecStart=", 0) == 0)
            execStart = line.substr(10);
    }
    // What /etc/kaprin/station.conf would say: an image whose path holds spaces.
    env["KAPRIN_IMAGE"] = image;
    // The log line on standard output too, where this test can read it without a journal.
    env["KAPRIN_OPTIONS"] = "--yes -E5 --log -";
    env["NOTIFY_SOCKET"] = dir.path().string() + "/notify";
    // "${NAME}" stays one word, a word "$NAME" splits at white space.
    std::vector<std::string> argv;
    for (std::string word : Words(execStart)) {
        if (word[0] == '$' && word[1] != '{') {
            for (const std::string& w : Words(env[word.substr(1)]))
                argv.push_back(w);
            continue;
        }
        for (const auto& [name, value] : env)
            ReplaceAll(word, "${" + name + "}", value);
        argv.push_back(word);
    }
    ASSERT_FALSE(argv.empty()) << KAPRIN_STATION_UNIT;

    // The service manager's end of the notify socket.
    int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", env["NOTIFY_SOCKET"].c_str());
    ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::string notified;
    auto waitNotified = [&](const std::string& text, std::chrono::seconds timeout) {
        for (auto end = Clock::now() + timeout;
             notified.find(text) == std::string::npos && Clock::now() < end;) {
            pollfd p{notify, POLLIN, 0};
            char buf[512];
            ssize_t n = poll(&p, 1, 50) == 1 ? recv(notify, buf, sizeof buf, 0) : 0;
            notified.append(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
        return notified.find(text) != std::string::npos;
    };

    const std::string out = dir.path().string() + "/station.out",
                      err = dir.path().string() + "/station.err";
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    auto report = [&] { return ReadTextFile(out) + ReadTextFile(err) + notified; };
    EXPECT_TRUE(waitNotified("READY=1", 30s)) << report();
    for (auto end = Clock::now() + 90s;
         ReadTextFile(out).find("\tok 0\t") == std::string::npos && Clock::now() < end;)
        waitNotified("\x01", 1s); // read as systemd does, or the station's messages wait
    kill(pid, SIGTERM);
    int status = -1;
    for (auto end = Clock::now() + 60s; Clock::now() < end && waitpid(pid, &status, WNOHANG) == 0;)
        std::this_thread::sleep_for(20ms);
    if (!WIFEXITED(status) && kill(pid, SIGKILL) == 0)
        waitpid(pid, nullptr, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << report();
    EXPECT_TRUE(waitNotified("STOPPING=1", 1s)) << report();
    close(notify);
    sim.Stop();

    EXPECT_NE(ReadTextFile(out).find("\t" + image + "\tok 0\t"), std::string::npos) << report();
    EXPECT_NE(ReadTextFile(simLog).find("download 1 complete"), std::string::npos);
    const std::string ini = ReadTextFile(dir.path().string() + "/state/kaprin/Kaprin/Kaprin.ini");
    for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"})
        EXPECT_TRUE(std::regex_search(ini, std::regex(std::string("\n") + key + "=(True|False)")))
            << key << "\n"
            << ini;
}

// The unit as systemd reads it, where systemd-analyze is installed: anything it says about
// the unit (an unknown key, a bad value) is a fault, and so is an exposure above 1.5.
TEST(StationService, UnitVerifies) {
    if (system("systemd-analyze --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    kaprin::test::TempDir dir;
    std::filesystem::copy_file(KAPRIN_STATION_UNIT,
                               dir.path().string() + "/kaprin-station@.service");
    const std::string report = dir.path().string() + "/verify.txt";
    const int status = system(("cd '" + dir.path().string() +
                               "' && systemd-analyze verify --man=no kaprin-station@ttyS0.service "
                               "> verify.txt 2>&1")
                                  .c_str());
    EXPECT_EQ(status, 0) << ReadTextFile(report);
    EXPECT_EQ(ReadTextFile(report).find("kaprin-station@"), std::string::npos)
        << ReadTextFile(report);
    EXPECT_EQ(system(("cd '" + dir.path().string() +
                      "' && systemd-analyze security --offline=true --threshold=15 "
                      "kaprin-station@.service > security.txt 2>&1")
                         .c_str()),
              0)
        << ReadTextFile(dir.path().string() + "/security.txt");
}

} // namespace
