// The real Kaprin program, offscreen, into scanner-sim on a pseudo-terminal.
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

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

fs::path BinDir() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

struct Outcome {
    int status = -1; // exit status, or -1 when it had to be killed
    double seconds = 0;
};

// Runs Kaprin with the arguments and extra environment, standard error into errPath and
// standard output into errPath + ".out".
Outcome RunKaprin(const fs::path& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env, const std::string& errPath, int timeoutMs) {
    // Under the leak checker, now and then (a few runs in a hundred, under load, and never
    // with full stacks) the program's exit reports one object that QtCore allocated for its
    // own thread bookkeeping. Stacks through QtCore are not reported for the program
    // started here; the window layer's own tests run in-process with full leak checking.
    const std::string suppressions = errPath + ".lsan";
    if (FILE* f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libQt6Core.so\n", f);
        std::fclose(f);
    }
    std::string lsan = "LSAN_OPTIONS=suppressions=" + suppressions;
    if (const char* given = std::getenv("LSAN_OPTIONS"))
        lsan += std::string(":") + given;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        putenv(lsan.data());
        for (const auto& entry : env)
            putenv(const_cast<char*>(entry.c_str()));
        if (FILE* err = std::fopen(errPath.c_str(), "w"))
            dup2(fileno(err), STDERR_FILENO);
        if (FILE* out = std::fopen((errPath + ".out").c_str(), "w"))
            dup2(fileno(out), STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Outcome outcome;
    int status = 0;
    while (Clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (outcome.status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return outcome;
}

std::string Settings(const kaprin::test::TempDir& dir) {
    return kaprin::test::ReadTextFile(dir.path().string() + "/config/Kaprin/Kaprin.ini");
}

// "-C": one automatic download into the simulator, then Kaprin closes by itself and the
// seven run options are in the settings file.
TEST(KaprinE2e, CloseAfterTheFirstSuccessfulDownload) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    kaprin::test::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 16;
    const std::string image = dir.Write("X.PLN", testsupport::MakePlnImage(layout));
    const std::string simLog = dir.path().string() + "/sim.log";
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--log", simLog}, error)) << error;

    const Outcome run = RunKaprin(BinDir() / "Kaprin", {"-C", "-F=" + image},
                                  {"QT_QPA_PLATFORM=offscreen",
                                   "XDG_CONFIG_HOME=" + dir.path().string() + "/config",
                                   "RS232_COM1=" + sim.SlavePath()},
                                  dir.path().string() + "/kaprin.err", 60000);
    sim.Stop();
    const std::string log = kaprin::test::ReadTextFile(simLog);
    EXPECT_EQ(run.status, 0) << kaprin::test::ReadTextFile(dir.path().string() + "/kaprin.err");
    EXPECT_NE(log.find("download 1 complete"), std::string::npos) << log.substr(0, 2000);
    EXPECT_EQ(log.find("download 2 complete"), std::string::npos);

    const std::string ini = Settings(dir);
    EXPECT_NE(ini.find("[Setup]"), std::string::npos) << ini;
    for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"}) {
        const std::string line = std::string(key) + "=";
        const auto at = ini.find("\n" + line);
        ASSERT_NE(at, std::string::npos) << key << "\n" << ini;
        const std::string value = ini.substr(at + 1 + line.size(), 5);
        EXPECT_TRUE(value.rfind("True", 0) == 0 || value.rfind("False", 0) == 0) << key;
    }
    EXPECT_NE(ini.find("EMODE=False"), std::string::npos);
    EXPECT_NE(ini.find("DTR=True"), std::string::npos);
}

// A desktop start: no RS232_COM<n> in the environment, the port reached through the map in
// the settings file, by a link that stands for the adapter's stable by-id path.
TEST(KaprinE2e, DownloadsThroughThePortMapOfTheSettingsFile) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    kaprin::test::TempDir dir;
    testsupport::PlnLayout layout;
    layout.linesPerBank = 8;
    const std::string image = dir.Write("X.PLN", testsupport::MakePlnImage(layout));
    const std::string simLog = dir.path().string() + "/sim.log";
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({"--log", simLog}, error)) << error;
    const fs::path byId =
        fs::path(dir.path().string()) / "by-id" / "usb-Sim_Scanner_0001-if00-port0";
    fs::create_directories(byId.parent_path());
    fs::create_symlink(sim.SlavePath(), byId);
    fs::create_directories(fs::path(dir.path().string()) / "config" / "Kaprin");
    dir.Write("config/Kaprin/Kaprin.ini",
              "[Comm]\nCOM%20PORT=2\nBAUD%20RATE=4\n[Ports]\nCOM3=" + byId.string() + "\n");
    for (int n = 1; n <= 20; ++n)
        unsetenv(("RS232_COM" + std::to_string(n)).c_str());

    const Outcome run = RunKaprin(
        BinDir() / "Kaprin", {"-C", "-F=" + image},
        {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + dir.path().string() + "/config"},
        dir.path().string() + "/kaprin.err", 60000);
    sim.Stop();
    const std::string log = kaprin::test::ReadTextFile(simLog);
    EXPECT_EQ(run.status, 0) << kaprin::test::ReadTextFile(dir.path().string() + "/kaprin.err");
    EXPECT_NE(log.find("download 1 complete"), std::string::npos) << log.substr(0, 2000);
    EXPECT_NE(Settings(dir).find("COM3=" + byId.string()), std::string::npos) << Settings(dir);
}

// A missing download library is named on standard error and ends Kaprin with a
// non-zero status (no box can be answered offscreen).
TEST(KaprinE2e, MissingLibraryEndsWithItsName) {
    kaprin::test::TempDir dir;
    const fs::path lonely = fs::path(dir.path().string()) / "Kaprin";
    fs::copy_file(BinDir() / "Kaprin", lonely);
    const Outcome run = RunKaprin(lonely, {},
                                  {"QT_QPA_PLATFORM=offscreen",
                                   "XDG_CONFIG_HOME=" + dir.path().string() + "/config",
                                   "LD_LIBRARY_PATH=" + dir.path().string()},
                                  dir.path().string() + "/kaprin.err", 30000);
    const std::string err = kaprin::test::ReadTextFile(dir.path().string() + "/kaprin.err");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.status, -1) << "hung";
    EXPECT_NE(err.find("libPellin.so"), std::string::npos) << err;
}

// Without a display and without the offscreen platform: a clear message, not a crash;
// --version and --help answer all the same.
TEST(KaprinE2e, WithoutADisplay) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* stream; // "err" or "out"
        const char* expected;
    };
    const Case cases[] = {
        {{}, 2, "err", "no display"},
        {{"--version"}, 0, "out", "Kaprin "},
        {{"-A", "--help"}, 0, "out", "-F=FILE"},
    };
    for (const Case& c : cases) {
        kaprin::test::TempDir dir;
        const std::string err = dir.path().string() + "/kaprin.err";
        const Outcome run = RunKaprin(BinDir() / "Kaprin", c.args,
                                      {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY=",
                                       "XDG_CONFIG_HOME=" + dir.path().string() + "/config"},
                                      err, 30000);
        const std::string text =
            kaprin::test::ReadTextFile(std::string(c.stream) == "err" ? err : err + ".out");
        EXPECT_EQ(run.status, c.status) << text;
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    }
}

// Output of a shell command, or empty when it cannot be run.
std::string CommandOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            text.append(buf, n);
        pclose(pipe);
    }
    return text;
}

// The window program records its download in the log file chosen in its settings, with
// the image's SHA-256, and in the system journal where there is one.
TEST(KaprinE2e, DownloadIsRecordedWithTheImagesHash) {
    SKIP_WITHOUT_PSEUDO_TERMINAL();
    kaprin::test::TempDir dir;
    const std::string image = dir.Write("R.PLN", testsupport::MakePlnImage({}));
    const std::string logFile = dir.path().string() + "/line.log";
    fs::create_directories(dir.path().string() + "/config/Kaprin");
    dir.Write("config/Kaprin/Kaprin.ini", "[Setup]\nLogFile=" + logFile + "\n");
    testsupport::ScannerSimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.Start({}, error)) << error;
    const Outcome run = RunKaprin(BinDir() / "Kaprin", {"-C", "-F=" + image},
                                  {"QT_QPA_PLATFORM=offscreen",
                                   "XDG_CONFIG_HOME=" + dir.path().string() + "/config",
                                   "RS232_COM1=" + sim.SlavePath()},
                                  dir.path().string() + "/kaprin.err", 60000);
    sim.Stop();
    ASSERT_EQ(run.status, 0) << kaprin::test::ReadTextFile(dir.path().string() + "/kaprin.err");

    const std::string hash = CommandOutput("sha256sum '" + image + "'").substr(0, 64);
    ASSERT_EQ(hash.size(), 64u);
    const std::string line = kaprin::test::ReadTextFile(logFile);
    EXPECT_NE(line.find("\tCOM1\t" + image + "\tok 0\t"), std::string::npos) << line;
    EXPECT_NE(line.find(" device=" + sim.SlavePath() + " sha256=" + hash + "\n"), std::string::npos)
        << line;

    // A journal that answers (a socket left by a journal that has ended does not).
    if (CommandOutput("systemd-cat true 2>/dev/null && command -v journalctl").empty()) {
        std::printf("[ journal  ] no system journal here: the journal entry is not checked\n");
        return;
    }
    const std::string entries = CommandOutput(
        "journalctl -t kaprin -o verbose --no-pager -n 50 KAPRIN_IMAGE_SHA256=" + hash);
    EXPECT_NE(entries.find("KAPRIN_IMAGE=" + image), std::string::npos) << entries;
    EXPECT_NE(entries.find("KAPRIN_OUTCOME=ok"), std::string::npos) << entries;
}

} // namespace
