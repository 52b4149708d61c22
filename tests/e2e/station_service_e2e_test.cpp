// A production station as its service unit runs it: the unit's own environment and command
// line, expanded as systemd expands them, into scanner-sim. The station tells a notify
// socket it is ready, downloads, logs the record on standard output (the journal), and on
// SIGTERM ends with status 0 and its run options saved.
#include "pln_image.h"
#include "scanner_sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using testsupport::ReadTextFile;

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The unit's specifiers for one instance; the state folder is the test's own.
std::string Specifiers(std::string text, const std::map<char, std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && values.count(text[i + 1]))
            out += values.at(text[++i]);
        else
            out += text[i];
    }
    return out;
}

// ExecStart= as systemd expands it: "${NAME}" inside a word stays one word, "$NAME" alone
// is split at white space.
std::vector<std::string> ExpandCommand(const std::string& line,
                                       const std::map<std::string, std::string>& env) {
    static const std::regex braced(R"(\$\{([A-Za-z_][A-Za-z0-9_]*)\})");
    auto value = [&](const std::string& name) {
        auto it = env.find(name);
        return it == env.end() ? std::string() : it->second;
    };
    std::vector<std::string> argv;
    for (const std::string& word : Words(line)) {
        if (word.size() > 1 && word[0] == '$' && word[1] != '{') {
            for (const std::string& w : Words(value(word.substr(1))))
                argv.push_back(w);
            continue;
        }
        std::string out;
        auto begin = word.cbegin();
        for (std::smatch m; std::regex_search(begin, word.cend(), m, braced);
             begin = m.suffix().first)
            out += m.prefix().str() + value(m[1]);
        argv.push_back(out + std::string(begin, word.cend()));
    }
    return argv;
}

// The datagrams sent to $NOTIFY_SOCKET, as the service manager receives them.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : path_(path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool bound() const { return bound_; }
    // Waits until a message holds `text`; everything received is kept in received().
    bool WaitFor(const std::string& text, std::chrono::seconds timeout) {
        for (auto end = Clock::now() + timeout; Clock::now() < end;) {
            if (received_.find(text) != std::string::npos)
                return true;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                char buf[512];
                ssize_t n = recv(fd_, buf, sizeof buf, 0);
                if (n > 0)
                    received_.append(buf, static_cast<std::size_t>(n)).append("\n");
            }
        }
        return received_.find(text) != std::string::npos;
    }
    const std::string& received() const { return received_; }

private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
    std::string received_;
};

int WaitExit(pid_t pid, std::chrono::seconds timeout) {
    int status = 0;
    for (auto end = Clock::now() + timeout; Clock::now() < end;) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(StationService, RunsAsTheUnitRunsItAndStopsCleanlyOnSigterm) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    testsupport::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 48; // 6 KB
    const std::string image = dir.Write("my images X.PLN", testsupport::MakePlnImage(layout));
    const std::string simLog = dir.Path() + "/sim.log";
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--baud", "115200", "--log", simLog}, error)) << error;

    // The instance is the device below /dev, here the simulator's pseudo-terminal.
    const std::string device = sim.SlavePath();
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
    const std::string instance = device.substr(5);
    std::string escaped = instance;
    std::replace(escaped.begin(), escaped.end(), '/', '-');
    const std::map<char, std::string> specifiers{
        {'I', instance}, {'i', escaped}, {'S', dir.Path() + "/state"}, {'%', "%"}};

    std::map<std::string, std::string> env;
    std::string execStart;
    for (std::istringstream unit(ReadTextFile(KAPRIN_STATION_UNIT)); unit;) {
        std::string line;
        std::getline(unit, line);
        if (line.rfind("Environment=", 0) == 0) {
            for (const std::string& a : Words(Specifiers(line.substr(12), specifiers))) {
                auto eq = a.find('=');
                env[a.substr(0, eq)] = a.substr(eq + 1);
            }
        } else if (line.rfind("ExecStart=", 0) == 0) {
            execStart = Specifiers(line.substr(10), specifiers);
        }
    }
    ASSERT_FALSE(execStart.empty()) << KAPRIN_STATION_UNIT;
    // What /etc/kaprin/station.conf would say: an image whose path holds spaces.
    env["KAPRIN_IMAGE"] = image;
    env["KAPRIN_OPTIONS"] = "--yes -E5";
    const std::vector<std::string> argv = ExpandCommand(execStart, env);

    NotifySocket notify(dir.Path() + "/notify");
    ASSERT_TRUE(notify.bound());
    env["NOTIFY_SOCKET"] = dir.Path() + "/notify";

    const std::string out = dir.Path() + "/station.out", err = dir.Path() + "/station.err";
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        int null = open("/dev/null", O_RDONLY);
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(null, 0);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    auto report = [&] { return ReadTextFile(out) + ReadTextFile(err) + notify.received(); };

    EXPECT_TRUE(notify.WaitFor("READY=1", 30s)) << report();
    bool logged = false;
    for (auto end = Clock::now() + 90s; Clock::now() < end && !logged;) {
        logged = ReadTextFile(out).find("\tok 0\t") != std::string::npos;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(logged) << report();
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid, 60s), 0) << report();
    EXPECT_TRUE(notify.WaitFor("STOPPING=1", 1s)) << report();
    sim.Stop();

    EXPECT_NE(ReadTextFile(out).find("\t" + image + "\tok 0\t"), std::string::npos) << report();
    EXPECT_NE(ReadTextFile(simLog).find("download 1 complete"), std::string::npos);
    const std::string ini = ReadTextFile(dir.Path() + "/state/kaprin/Kaprin/Kaprin.ini");
    for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"})
        EXPECT_TRUE(std::regex_search(ini, std::regex(std::string("\n") + key + "=(True|False)")))
            << key << "\n"
            << ini;
}

// The unit as systemd reads it, where systemd-analyze is installed.
TEST(StationService, UnitVerifies) {
    if (system("systemd-analyze --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    testsupport::TempDir dir;
    const fs::path unit = fs::path(dir.Path()) / "kaprin-station@.service";
    fs::copy_file(KAPRIN_STATION_UNIT, unit);
    const std::string report = dir.Path() + "/verify.txt";
    const std::string command = "cd '" + dir.Path() +
                                "' && systemd-analyze verify --man=no "
                                "'kaprin-station@ttyS0.service' > '" +
                                report + "' 2>&1";
    const int status = system(command.c_str());
    const std::string text = ReadTextFile(report);
    // Offline it cannot know the device; anything said about the unit itself is a fault.
    EXPECT_EQ(text.find("kaprin-station@"), std::string::npos) << text;
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << text;
}

} // namespace
