// Two production stations on one computer: two kaprin-cli processes in the automatic
// mode, each on its own port, flash two simulated scanners at the same time.
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

fs::path BinDir() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// A kaprin-cli child with its output in files and standard input at its end.
struct Station {
    pid_t pid = -1;
    Clock::time_point started;

    void Start(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& outPath) {
        started = Clock::now();
        pid = fork();
        if (pid == 0) {
            for (const auto& entry : env)
                putenv(const_cast<char*>(entry.c_str()));
            if (FILE* out = std::fopen(outPath.c_str(), "w")) {
                dup2(fileno(out), STDOUT_FILENO);
                dup2(fileno(out), STDERR_FILENO);
            }
            if (FILE* null = std::fopen("/dev/null", "r"))
                dup2(fileno(null), STDIN_FILENO);
            const std::string program = (BinDir() / "kaprin-cli").string();
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    // SIGTERM closes the station as Ctrl-C does; returns its exit status (-1: killed).
    int Stop(int timeoutMs = 20000) {
        if (pid < 0)
            return -1;
        kill(pid, SIGTERM);
        return Wait(timeoutMs);
    }
    // Waits for the end (a second SIGTERM would end it at once, with status 130).
    int Wait(int timeoutMs = 20000) {
        if (pid < 0)
            return -1;
        int status = 0;
        for (auto end = Clock::now() + std::chrono::milliseconds(timeoutMs); Clock::now() < end;) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
        return -1;
    }
    ~Station() { Stop(1000); }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// The data lines of the image as the scanner acknowledged them, in order.
std::vector<std::string> AckedDataFrames(const std::string& simLog) {
    static const std::regex frame("frame [0-9]+ \"(:[0-9A-F]*)\" ACK");
    std::vector<std::string> frames;
    for (const std::string& line : Lines(simLog)) {
        std::smatch m;
        if (std::regex_search(line, m, frame))
            frames.push_back(m[1]);
    }
    return frames;
}

std::vector<std::string> DataLines(const std::string& image) {
    std::vector<std::string> lines;
    for (std::string line : Lines(image)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line[0] == ':')
            lines.push_back(line);
    }
    return lines;
}

// Waits until the log file holds `count` lines; the seconds each line took to appear.
std::vector<double> WaitForLogLines(const std::string& path, std::size_t count,
                                    const std::vector<Clock::time_point>& starts,
                                    std::chrono::seconds timeout) {
    std::vector<double> seen;
    for (auto end = Clock::now() + timeout; Clock::now() < end && seen.size() < count;) {
        std::size_t now = Lines(kaprin::test::ReadTextFile(path)).size();
        while (seen.size() < now && seen.size() < count)
            seen.push_back(
                std::chrono::duration<double>(Clock::now() - starts[seen.size()]).count());
        std::this_thread::sleep_for(10ms);
    }
    return seen;
}

// The transfer time in a log line (its fifth column, "12.345 s").
double LoggedSeconds(const std::string& line) {
    std::vector<std::string> cols;
    std::stringstream in(line);
    for (std::string col; std::getline(in, col, '\t');)
        cols.push_back(col);
    return cols.size() == 6 ? std::stod(cols[4]) : -1;
}

std::string PortOf(const std::string& line) {
    auto a = line.find('\t'), b = line.find('\t', a + 1);
    return line.substr(a + 1, b - a - 1);
}

struct Sim {
    testsupport::ScannerSimProcess process;
    std::string log;
    void Start(const std::string& dir, const std::string& name) {
        log = dir + "/" + name + ".log";
        std::string error;
        ASSERT_TRUE(process.Start({"--baud", "115200", "--log", log}, error)) << error;
    }
};

class TwoStations : public ::testing::Test {
protected:
    kaprin::test::TempDir dir;
    std::string image;
    std::vector<std::string> env() const {
        return {"XDG_CONFIG_HOME=" + dir.path().string() + "/config",
                "ASAN_OPTIONS=detect_leaks=1"};
    }
    void SetUp() override {
        testsupport::PlnLayout layout;
        layout.linesPerBank = 48; // 384 data lines, 6 KB
        // A bigger image for a longer measurement: 1024 gives the 128 KB of a real one.
        if (const char* lines = std::getenv("CLI_STATIONS_LINES_PER_BANK"))
            layout.linesPerBank = std::max(1, std::atoi(lines));
        image = testsupport::MakePlnImage(layout);
    }
};

// Each station gets its own port and its own image; both scanners receive the whole image
// at the same time as a station alone would, the shared log holds one line per scanner,
// and the settings file survives both stations closing at the same moment.
TEST_F(TwoStations, FlashTwoScannersAtOnce) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    const std::string a = dir.Write("A.PLN", image), b = dir.Write("B.PLN", image);

    // A single station first, for the comparison.
    Sim alone;
    ASSERT_NO_FATAL_FAILURE(alone.Start(dir.path().string(), "alone"));
    const std::string aloneLog = dir.path().string() + "/alone-line.log";
    Station single;
    auto singleEnv = env();
    singleEnv.push_back("RS232_COM1=" + alone.process.SlavePath());
    single.Start({"-A", "-F=" + a, "--port", "1", "--log", aloneLog}, singleEnv,
                 dir.path().string() + "/alone.out");
    std::vector<double> aloneWall = WaitForLogLines(aloneLog, 1, {single.started}, 60s);
    EXPECT_EQ(single.Stop(), 0) << kaprin::test::ReadTextFile(dir.path().string() + "/alone.out");
    ASSERT_EQ(aloneWall.size(), 1u)
        << kaprin::test::ReadTextFile(dir.path().string() + "/alone.out");
    alone.process.Stop();
    const double aloneTransfer = LoggedSeconds(Lines(kaprin::test::ReadTextFile(aloneLog))[0]);

    // Two stations at once, sharing the settings file and the log file.
    Sim one, two;
    ASSERT_NO_FATAL_FAILURE(one.Start(dir.path().string(), "sim1"));
    ASSERT_NO_FATAL_FAILURE(two.Start(dir.path().string(), "sim2"));
    const std::string sharedLog = dir.path().string() + "/line.log";
    auto both = env();
    both.push_back("RS232_COM1=" + one.process.SlavePath());
    both.push_back("RS232_COM2=" + two.process.SlavePath());
    Station s1, s2;
    s1.Start({"-A", "-F=" + a, "--port", "1", "--log", sharedLog}, both,
             dir.path().string() + "/s1.out");
    s2.Start({"-A", "-F=" + b, "--port", "2", "--log", sharedLog}, both,
             dir.path().string() + "/s2.out");
    std::vector<double> wall = WaitForLogLines(sharedLog, 2, {s1.started, s2.started}, 60s);
    const double cpu[2] = {testsupport::CpuSeconds(s1.pid), testsupport::CpuSeconds(s2.pid)};
    const double lived[2] = {std::chrono::duration<double>(Clock::now() - s1.started).count(),
                             std::chrono::duration<double>(Clock::now() - s2.started).count()};

    // Both close at the same moment.
    kill(s1.pid, SIGTERM);
    kill(s2.pid, SIGTERM);
    EXPECT_EQ(s1.Wait(), 0) << kaprin::test::ReadTextFile(dir.path().string() + "/s1.out");
    EXPECT_EQ(s2.Wait(), 0) << kaprin::test::ReadTextFile(dir.path().string() + "/s2.out");
    one.process.Stop();
    two.process.Stop();

    const std::vector<std::string> expected = DataLines(image);
    EXPECT_EQ(AckedDataFrames(kaprin::test::ReadTextFile(one.log)), expected);
    EXPECT_EQ(AckedDataFrames(kaprin::test::ReadTextFile(two.log)), expected);
    for (const std::string* log : {&one.log, &two.log}) {
        const std::string text = kaprin::test::ReadTextFile(*log);
        EXPECT_NE(text.find("download 1 complete"), std::string::npos) << *log;
        EXPECT_EQ(text.find("download 2 complete"), std::string::npos) << *log;
    }

    const std::vector<std::string> logged = Lines(kaprin::test::ReadTextFile(sharedLog));
    ASSERT_EQ(logged.size(), 2u);
    double transfer[2] = {-1, -1};
    for (const std::string& line : logged) {
        EXPECT_NE(line.find("\tok 0\t"), std::string::npos) << line;
        int port = PortOf(line) == "COM1" ? 0 : PortOf(line) == "COM2" ? 1 : -1;
        ASSERT_GE(port, 0) << line;
        EXPECT_NE(line.find(port == 0 ? a : b), std::string::npos) << line;
        transfer[port] = LoggedSeconds(line);
    }

    const std::string ini =
        kaprin::test::ReadTextFile(dir.path().string() + "/config/Kaprin/Kaprin.ini");
    for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"}) {
        const std::regex entry(std::string("\n") + key + "=(True|False)\n");
        EXPECT_TRUE(std::regex_search(ini, entry)) << key << "\n" << ini;
    }
    EXPECT_EQ(ini.find("PORT"), std::string::npos) << "--port is never stored\n" << ini;

    ASSERT_EQ(wall.size(), 2u);
    std::printf("[ stations ] transfer of %zu lines at 115200 baud: alone %.3f s; "
                "at once COM1 %.3f s (%.2fx), COM2 %.3f s (%.2fx)\n",
                expected.size(), aloneTransfer, transfer[0], transfer[0] / aloneTransfer,
                transfer[1], transfer[1] / aloneTransfer);
    std::printf("[ stations ] start to logged line: alone %.3f s; at once %.3f s and %.3f s\n",
                aloneWall[0], wall[0], wall[1]);
    std::printf("[ stations ] CPU share of one core (start-up, search, transfer): COM1 %.3f, "
                "COM2 %.3f\n",
                cpu[0] / lived[0], cpu[1] / lived[1]);
    RecordProperty("alone_s", std::to_string(aloneTransfer));
    RecordProperty("com1_s", std::to_string(transfer[0]));
    RecordProperty("com2_s", std::to_string(transfer[1]));
    // Stations that took turns would double the second one's time.
    EXPECT_LT(transfer[0], aloneTransfer * 1.6);
    EXPECT_LT(transfer[1], aloneTransfer * 1.6);
}

// The real program on a terminal: --once asks before the transfer, the person answers
// on the terminal, and the exit status is the library's outcome.
TEST_F(TwoStations, OnceOnATerminalAnsweredByAPerson) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    const std::string file = dir.Write("X.PLN", image);
    Sim sim;
    ASSERT_NO_FATAL_FAILURE(sim.Start(dir.path().string(), "sim"));

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    auto started = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int fd = open(slave.c_str(), O_RDWR); // the station's controlling terminal
        for (int std : {0, 1, 2})
            dup2(fd, std);
        for (const auto& entry : env())
            putenv(const_cast<char*>(entry.c_str()));
        const std::string com = "RS232_COM1=" + sim.process.SlavePath();
        putenv(const_cast<char*>(com.c_str()));
        const std::string program = (BinDir() / "kaprin-cli").string();
        const std::string f = "-F=" + file;
        execl(program.c_str(), program.c_str(), "--once", f.c_str(), nullptr);
        _exit(127);
    }
    std::string screen;
    bool answered = false;
    int status = -1;
    while (Clock::now() - started < 60s) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) == 1) {
            char buf[4096];
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0)
                screen.append(buf, static_cast<std::size_t>(n));
        }
        if (!answered && screen.find("Start the download now? [y/n] ") != std::string::npos) {
            (void)!write(master, "y\n", 2);
            answered = true;
        }
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) {
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            break;
        }
    }
    if (status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(master);
    sim.process.Stop();
    EXPECT_TRUE(answered) << screen;
    EXPECT_EQ(status, 0) << screen;
    EXPECT_NE(screen.find("[####################] 100%"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Download finished."), std::string::npos) << screen;
    EXPECT_EQ(AckedDataFrames(kaprin::test::ReadTextFile(sim.log)), DataLines(image));
}

// From a script, a scanner that stops answering ends --once with the library's time-out
// code 1, a port that cannot be opened with 69, and a stored rate the driver refuses
// with 69 and a message that names the rate.
TEST_F(TwoStations, OnceExitStatusesFromTheLibrary) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    const std::string file = dir.Write("X.PLN", image);
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--silent-from", "40"}, error)) << error;
    auto run = [&](const std::vector<std::string>& args, const std::string& com) {
        Station s;
        auto e = env();
        e.push_back("RS232_COM1=" + com);
        s.Start(args, e, dir.path().string() + "/once.out");
        int status = 0;
        for (auto end = Clock::now() + 90s; Clock::now() < end;) {
            if (waitpid(s.pid, &status, WNOHANG) == s.pid) {
                s.pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    };
    EXPECT_EQ(run({"--once", "--yes", "-F=" + file}, sim.SlavePath()), 1)
        << kaprin::test::ReadTextFile(dir.path().string() + "/once.out");
    EXPECT_NE(kaprin::test::ReadTextFile(dir.path().string() + "/once.out")
                  .find("the download failed with the library's result 1"),
              std::string::npos);
    dir.Write("config/Kaprin/Kaprin.ini", "[Comm]\nBAUD%20RATE=-5\n");
    EXPECT_EQ(run({"--once", "--yes", "-F=" + file}, sim.SlavePath()), 69);
    const std::string refused = kaprin::test::ReadTextFile(dir.path().string() + "/once.out");
    EXPECT_NE(refused.find(sim.SlavePath() + " does not take the rate of -5 baud."),
              std::string::npos)
        << refused;
    sim.Stop();
    EXPECT_EQ(run({"--once", "--yes", "-F=" + file}, dir.path().string() + "/no-such-port"), 69)
        << kaprin::test::ReadTextFile(dir.path().string() + "/once.out");
}

} // namespace
