// The station end to end on the fakes: the model's run and automatic mode as a person
// sees them on a terminal, and as a script sees them without one, with exit statuses.
#include "fakes.h"
#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/station.h"
#include "kaprin/cli/steady_clock.h"
#include "kaprin/core/frm_main.h"
#include "kaprin/prefs/serial_line.h"
#include "temp_dir.h"
#include "terminal_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace kaprin::cli {
namespace {

using kaprin::test::FakeKaldun;
using kaprin::test::FakePellin;
using kaprin::test::FakeSerial;
using kaprin::test::MemoryStore;
using kaprin::test::TempDir;
using test::PseudoTerminal;
using test::Screen;

// The language files are copied beside the test executables.
std::string ProgramDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// A text of the shipped English file, as the model loads it.
std::string Text(std::int16_t id) {
    static kaprin::test::FakeWorld world;
    static FrmMain* frm = [] {
        auto* f = new FrmMain(world.ports(), ProgramDir(), "");
        f->Form_Load();
        return f;
    }();
    return frm->LangText(id);
}

class ForwardKaldun : public KaldunApi {
public:
    explicit ForwardKaldun(KaldunApi& k) : k_(k) {}
    std::int32_t KALDUN(const std::string& path) override { return k_.KALDUN(path); }

private:
    KaldunApi& k_;
};

// The libraries as the real binding reports a missing one.
class MissingPellin : public SerialLine {
public:
    MissingPellin(PellinApi& p, MessageServices& w) : SerialLine(p, nullptr), w_(w) {}
    std::int32_t usePort(std::int32_t, std::int32_t) override {
        w_.Fatal("libPellin.so cannot be loaded");
        return -1; // not reached
    }

private:
    MessageServices& w_;
};

// One station with fake libraries and an in-memory store; its terminal is either a
// pseudo-terminal or a pair of pipes (a script).
struct Bench {
    TempDir dir;
    MemoryStore store;
    FakePellin pellin;
    FakeSerial serial;
    FakeKaldun kaldun;
    SteadyClock clock;
    int sig[2] = {-1, -1};
    bool missingLibrary = false;

    Bench() {
        EXPECT_EQ(pipe(sig), 0);
        // A device that answers at once and takes a good image unless told otherwise.
        pellin.checkZ = {1};
        pellin.checkDevice = {1};
        pellin.percents = {0, 50, 100};
        pellin.blocks = {0, 3, 8};
        pellin.errors = {0};
    }
    ~Bench() {
        close(sig[0]);
        close(sig[1]);
    }
    void CtrlC() { (void)!write(sig[1], "\x02", 1); }

    int Run(const std::vector<std::string>& args, int in, int out, int err) {
        ParsedOptions parsed = ParseCliOptions(args);
        EXPECT_EQ(parsed.error, "");
        StationBindings b{store, clock,
                          [this](MessageServices& w) -> std::unique_ptr<PellinApi> {
                              if (missingLibrary)
                                  return std::make_unique<MissingPellin>(pellin, w);
                              return std::make_unique<SerialLine>(pellin, nullptr);
                          },
                          [this](MessageServices&) -> std::unique_ptr<KaldunApi> {
                              return std::make_unique<ForwardKaldun>(kaldun);
                          },
                          &serial};
        return RunStation(parsed.options, ProgramDir(), TerminalIo::Probe(in, out, sig[0]), b, err);
    }
};

// A script's view: standard input at its end, output and errors into pipes.
struct ScriptRun {
    int status = -1;
    std::string out, err;
};

std::string Drain(int fd) {
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    return text;
}

ScriptRun RunScript(Bench& bench, const std::vector<std::string>& args) {
    int in[2], out[2], err[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    close(in[1]);
    ScriptRun r;
    auto outText = std::async(std::launch::async, Drain, out[0]);
    auto errText = std::async(std::launch::async, Drain, err[0]);
    r.status = bench.Run(args, in[0], out[1], err[1]);
    close(out[1]);
    close(err[1]);
    r.out = outText.get();
    r.err = errText.get();
    for (int fd : {in[0], out[0], err[0]})
        close(fd);
    return r;
}

std::vector<std::string> SetupKeys(const MemoryStore& store) {
    return store.Keys("Setup");
}

// A manual run on a terminal: the person sees the port, the questions, which they answer,
// the progress bar and the outcome; the run options are saved as a close saves them, and
// --port / --baud reach the library without being stored.
TEST(StationOnATerminal, OnceWithQuestionsAnswered) {
    Bench bench;
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    std::string hex = bench.dir.Write("X.HEX", ":00000001FF\r\n");
    bench.kaldun.onConvert = [&](const std::string&) {
        bench.dir.Write("X.PLN", ":0140000000BF\r\n");
    };
    bench.pellin.checkZ = {0, 0, 1};

    auto status = std::async(std::launch::async, [&] {
        return bench.Run({"--once", "--port", "3", "--baud", "57600", "-F=" + hex}, pty.slave(),
                         pty.slave(), pty.slave());
    });
    ASSERT_TRUE(pty.WaitFor(Text(1302) + " [y/n] "));
    pty.Type("y\n");
    ASSERT_TRUE(pty.WaitFor(Text(1304) + " [y/n] "));
    pty.Type("yes\n");
    ASSERT_EQ(status.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(status.get(), kExitOk);

    pty.CloseSlave(); // collects the rest of what was drawn
    Screen seen = Screen::Render(pty.Raw());
    std::string text = seen.Text();
    EXPECT_NE(text.find(Text(1000) + ": COM3 (/dev/ttyS2) at 57600 baud\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("File: " + hex + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n" + Text(1325) + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  HEX:"), std::string::npos) << text;
    EXPECT_NE(text.find(Text(1302) + " [y/n] y\n"), std::string::npos) << text;
    EXPECT_NE(text.find(Text(1304) + " [y/n] yes\n"), std::string::npos) << text;
    EXPECT_NE(text.find(Text(1317) + " 8 " + Text(1318) + "  [####################] 100%\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n" + Text(1319) + "\n"), std::string::npos) << text;

    EXPECT_EQ(bench.pellin.usePortCalls,
              (std::vector<std::pair<std::int32_t, std::int32_t>>{{2, 57600}}));
    // The library is handed a private copy of the converted image.
    ASSERT_EQ(bench.pellin.loads.size(), 1u);
    EXPECT_EQ(std::filesystem::path(bench.pellin.loads[0]).filename(), "X.PLN");
    EXPECT_EQ(bench.store.ReadSetting("Comm", "COM PORT"), "");
    EXPECT_EQ(bench.store.ReadSetting("Comm", "BAUD RATE"), "");
    EXPECT_EQ(bench.store.ReadSetting("RecentFile", "File1"), hex);
    EXPECT_EQ(SetupKeys(bench.store).size(), 7u);
}

struct StatusCase {
    const char* name;
    std::vector<std::string> args; // "{file}" stands for the image's path
    std::function<void(Bench&)> setUp;
    int status;
    const char* err; // a part of what standard error says; empty: nothing
    bool saved;      // the run options were written as a close writes them
};

class ExitStatus : public ::testing::TestWithParam<StatusCase> {};

// A single run from a script: the exit status says what happened, standard error says why.
TEST_P(ExitStatus, OfASingleRunWithoutATerminal) {
    const StatusCase& c = GetParam();
    Bench bench;
    std::string file = bench.dir.Write("X.PLN", ":0140000000BF\r\n");
    if (c.setUp)
        c.setUp(bench);
    std::vector<std::string> args;
    for (std::string a : c.args) {
        if (auto at = a.find("{file}"); at != std::string::npos)
            a.replace(at, 6, file);
        if (auto at = a.find("{dir}"); at != std::string::npos)
            a.replace(at, 5, bench.dir.path().string());
        args.push_back(a);
    }
    ScriptRun r = RunScript(bench, args);
    EXPECT_EQ(r.status, c.status) << r.err << r.out;
    if (*c.err)
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    else
        EXPECT_EQ(r.err, "");
    EXPECT_EQ(SetupKeys(bench.store).size(), c.saved ? 7u : 0u);
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << "no redraws into a pipe";
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ExitStatus,
    ::testing::Values(
        StatusCase{"good",
                   {"--once", "--no", "-F={file}"},
                   [](Bench& b) { b.store.WriteSetting("Setup", "QUENLAR", "False"); },
                   0,
                   "",
                   true},
        StatusCase{"checksum",
                   {"--once", "--yes", "-F={file}"},
                   [](Bench& b) {
                       b.pellin.errors = {0, 0, 2};
                   },
                   2,
                   "the download failed with the library's result 2",
                   true},
        StatusCase{"odd library code",
                   {"--once", "--yes", "-F={file}"},
                   [](Bench& b) { b.pellin.errors = {77}; },
                   kExitOtherLibraryCode,
                   "result 77",
                   true},
        StatusCase{"port cannot be used",
                   {"--once", "--yes", "--port=4", "-F={file}"},
                   [](Bench& b) { b.pellin.checkZ = {-1}; },
                   kExitPortUnusable,
                   "COM4 (/dev/ttyS3) cannot be used",
                   true},
        // Beside the run's own message, the serial component's probe says why.
        StatusCase{"port held by another station",
                   {"--once", "--yes", "--port=4", "-F={file}"},
                   [](Bench& b) {
                       b.pellin.checkZ = {-1};
                       b.serial.probes["COM4"] = {PortCondition::Busy, 16, 4242, "/dev/ttyS3", ""};
                   },
                   kExitPortUnusable,
                   "/dev/ttyS3 is in use by another program (process 4242).\nkaprin-cli: COM4 "
                   "(/dev/ttyS3) cannot be used",
                   true},
        StatusCase{
            "no file", {"--once", "--yes"}, nullptr, kExitNoFile, "no file to download", true},
        StatusCase{"file not found",
                   {"--once", "--yes", "-F={dir}/NONE.PLN"},
                   nullptr,
                   kExitFileNotFound,
                   "file not found",
                   true},
        StatusCase{"conversion failed",
                   {"--once", "--yes", "-F={dir}/Y.HEX"},
                   [](Bench& b) {
                       b.dir.Write("Y.HEX", ":00000001FF\r\n");
                       b.kaldun.results = {8};
                   },
                   kExitConversionFailed,
                   "failed with result 8",
                   true},
        StatusCase{"empty image",
                   {"--once", "--yes", "-F={dir}/E.PLN"},
                   [](Bench& b) { b.dir.Write("E.PLN", ""); },
                   kExitEmptyImage,
                   "nothing to send",
                   true},
        StatusCase{
            "declined", {"--once", "--no", "-F={file}"}, nullptr, kExitDeclined, "declined", true},
        // Nobody to answer and no answer given: a clear error, not a hang; the close
        // still saves the options.
        StatusCase{"question without a terminal",
                   {"--once", "-F={file}"},
                   nullptr,
                   kExitUsage,
                   "give --yes or --no",
                   true},
        StatusCase{"once with the automatic mode",
                   {"--once", "-A", "-F={file}"},
                   nullptr,
                   kExitUsage,
                   "leave out -A and -C",
                   false},
        StatusCase{"missing library",
                   {"--once", "-F={file}"},
                   [](Bench& b) { b.missingLibrary = true; },
                   kExitFatal,
                   "libPellin.so cannot be loaded",
                   false},
        StatusCase{"log file cannot be opened",
                   {"--once", "--log", "{dir}/no/such.log"},
                   nullptr,
                   kExitLogFile,
                   "cannot open the log file",
                   false},
        // A station checks its image before it is ready: a failure ends it at once.
        StatusCase{
            "station without image", {"-A", "--yes"}, nullptr, kExitNoFile, "no image", true},
        StatusCase{"station image not found",
                   {"-A", "--yes", "-F={dir}/NONE.PLN"},
                   nullptr,
                   kExitNoFile,
                   "image not found",
                   true},
        StatusCase{"station image unconvertible",
                   {"-A", "--yes", "-F={dir}/Y.HEX"},
                   [](Bench& b) {
                       b.dir.Write("Y.HEX", ":00000001FF\r\n");
                       b.kaldun.results = {7};
                   },
                   kExitConversionFailed,
                   "failed with result 7: a line of the image does not decode",
                   true},
        StatusCase{"station image not pinned",
                   {"-A", "--yes", "--require-pin", "-F={file}"},
                   nullptr,
                   kExitRefused,
                   "refused: ",
                   true},
        StatusCase{"nothing to run", {"-S"}, nullptr, kExitOk, "", true},
        // Options that cannot be saved: a warning on standard error, no question.
        StatusCase{"settings cannot be saved",
                   {"-S"},
                   [](Bench& b) { b.store.readOnly = true; },
                   kExitOk,
                   "kaprin-cli: warning: The settings cannot be saved",
                   false}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (ch == ' ')
                ch = '_';
        return n;
    });

// "-C" from a script: one automatic download, the log line, then the close by itself.
TEST(StationAutomatic, CloseAfterTheFirstGoodDownloadWithItsLogLine) {
    Bench bench;
    std::string file = bench.dir.Write("X.PLN", ":0140000000BF\r\n");
    std::string log = bench.dir / "line.log";
    bench.pellin.checkZ = {0, 1};
    ScriptRun r = RunScript(bench, {"-C", "-F=" + file, "--port", "2", "--log", log});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(bench.pellin.loads.size(), 1u);
    // One line per change of status; the block count does not make new lines.
    EXPECT_NE(r.out.find("\n" + Text(1323) + "\n" + Text(1317) + " 3 " + Text(1318) + "\n" +
                         Text(1319) + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("1 download(s): 1 good, 0 failed; 0 alert(s)"), std::string::npos);
    std::string line = bench.dir.Read("line.log");
    EXPECT_NE(line.find("\tCOM2\t" + file + "\tok 0\t"), std::string::npos) << line;
    EXPECT_NE(line.find("\t8 blocks host="), std::string::npos) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(bench.store.ReadSetting("Setup", "SHUTDOWN"), "False");
    EXPECT_EQ(SetupKeys(bench.store).size(), 7u);
}

// Failures in a row bring the alert, which a script only prints and counts; Ctrl-C then
// ends the automatic mode as a close does.
TEST(StationAutomatic, AlertsCountedAndCtrlCCloses) {
    Bench bench;
    std::string file = bench.dir.Write("X.PLN", ":0140000000BF\r\n");
    bench.pellin.errors = {2};
    bool pressed = false;
    bench.pellin.onProbe = [&] {
        if (bench.pellin.loads.size() == 4 && !pressed) {
            pressed = true;
            bench.CtrlC();
            bench.pellin.checkZ = {0}; // no device any more: the search pumps events
        }
    };
    ScriptRun r = RunScript(bench, {"-A", "-E2", "-F=" + file});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(bench.pellin.loads.size(), 4u);
    EXPECT_NE(r.out.find("[alert 1] " + Text(1324)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[alert 2] " + Text(1324)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Stopping (Ctrl-C again ends at once)."), std::string::npos);
    EXPECT_NE(r.out.find("4 download(s): 0 good, 4 failed; 2 alert(s)"), std::string::npos)
        << r.out;
    EXPECT_EQ(SetupKeys(bench.store).size(), 7u);
}

// An image that stops converting after the start pauses the automatic mode; each attempt
// says in the journal why, not only the converter's number.
TEST(StationAutomatic, ConversionFailureNamesItsReasonAtEachPause) {
    Bench bench;
    std::string file = bench.dir.Write("Y.HEX", ":00000001FF\r\n");
    bench.kaldun.results = {0, 8, 8};
    bench.kaldun.onConvert = [&](const std::string&) {
        if (bench.kaldun.calls.size() == 1) { // the check before the first scanner
            bench.dir.Write("Y.PLN", ":0140000000BF\r\n");
            // then a newer HEX arrives, which the scanners are to get
            std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() +
                                                       std::chrono::seconds(10));
        }
        if (bench.kaldun.calls.size() == 3)
            bench.CtrlC();
    };
    ScriptRun r = RunScript(bench, {"-A", "--yes", "-F=" + file, "--events", bench.dir / "ev"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    // Its events: the check's conversion, then per scanner a pause that says how long.
    std::string names;
    std::istringstream events(bench.dir.Read("ev"));
    for (std::string text; std::getline(events, text);) {
        const nlohmann::json e = nlohmann::json::parse(text);
        names += " " + e["event"].get<std::string>();
        if (e["event"] != "paused")
            continue;
        const std::string seconds = std::to_string(e["seconds"].get<int>());
        names += " " + seconds;
        EXPECT_TRUE(e["message"].get<std::string>().ends_with(" Next try in " + seconds + " s."))
            << text;
    }
    EXPECT_EQ(names, " converting device_found converting paused 1"
                     " device_found converting paused 2 stopped");
    const std::string line = "failed with result 8: an extended address record names a page";
    const std::size_t first = r.err.find(line);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_NE(r.err.find(line, first + 1), std::string::npos) << r.err;
    EXPECT_TRUE(bench.pellin.loads.empty());
}

// --port with a device path stands in for the stored map entry of the port in use: the
// serial component gets it, the settings file never does.
TEST(StationOnce, PortPathReachesTheMapUnstored) {
    Bench bench;
    bench.store.WriteSetting("Comm", "COM PORT", "2");
    std::string file = bench.dir.Write("X.PLN", ":0140000000BF\r\n");
    ScriptRun r = RunScript(bench, {"--once", "--yes", "--port", "/dev/ttyUSB7", "-F=" + file});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    ASSERT_FALSE(bench.serial.mapsSet.empty());
    EXPECT_EQ(bench.serial.mapsSet.front()[2], "/dev/ttyUSB7");
    EXPECT_TRUE(bench.store.Keys("Ports").empty());
}

// A port that cannot be used switches the automatic mode off; the station ends with 69.
TEST(StationAutomatic, EndsWhenThePortCannotBeUsed) {
    Bench bench;
    bench.pellin.checkZ = {0, 0, -1};
    ScriptRun r = RunScript(bench, {"-A", "-F=" + bench.dir.Write("X.PLN", ":0140000000BF\r\n")});
    EXPECT_EQ(r.status, kExitPortUnusable);
    EXPECT_NE(r.err.find("the automatic mode ended: COM1 (/dev/ttyS0) cannot be used"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(SetupKeys(bench.store).size(), 7u);
}

} // namespace
} // namespace kaprin::cli
