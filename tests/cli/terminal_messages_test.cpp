#include "kaprin/cli/terminal_messages.h"

#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/steady_clock.h"
#include "terminal_harness.h"

#include <gtest/gtest.h>

#include <ctime>
#include <future>
#include <unistd.h>

namespace kaprin::cli {
namespace {

using namespace std::chrono_literals;
using test::PseudoTerminal;
using test::Screen;

// A station's terminal: the messages on the slave side of a pseudo-terminal, and a close-
// signal pipe of its own so that a test can "press Ctrl-C" by writing a byte into it.
struct Station {
    PseudoTerminal pty;
    int sig[2] = {-1, -1};
    SteadyClock clock;
    std::unique_ptr<TerminalMessages> messages;

    explicit Station(AnswerPolicy answers = AnswerPolicy::Ask) {
        EXPECT_EQ(pipe(sig), 0);
        messages = std::make_unique<TerminalMessages>(
            TerminalIo::Probe(pty.slave(), pty.slave(), sig[0]), answers, clock);
    }
    ~Station() {
        messages.reset();
        close(sig[0]);
        close(sig[1]);
    }
    void CtrlC() { (void)!write(sig[1], "\x02", 1); }
    Screen Seen() {
        std::this_thread::sleep_for(30ms);
        return Screen::Render(pty.Raw());
    }
};

template <typename T> bool Finished(std::future<T>& f, std::chrono::milliseconds wait = 0ms) {
    return f.wait_for(wait) == std::future_status::ready;
}

// A person answers a question; an answer that is neither yes nor no asks again.
TEST(TerminalQuestions, AskedAndAnsweredOnTheTerminal) {
    Station s;
    ASSERT_TRUE(s.pty.ok());
    auto answer = std::async(std::launch::async,
                             [&] { return s.messages->AskYesNo("Convert X.HEX first?"); });
    ASSERT_TRUE(s.pty.WaitFor("Convert X.HEX first? [y/n] "));
    s.pty.Type("maybe\n");
    ASSERT_TRUE(s.pty.WaitFor("Please answer y or n."));
    // The question is asked again before the person answers.
    ASSERT_TRUE(s.pty.WaitFor("Convert X.HEX first? [y/n] ", 5s, 2));
    EXPECT_FALSE(Finished(answer));
    s.pty.Type(" Y \n");
    ASSERT_TRUE(Finished(answer, 5s));
    EXPECT_TRUE(answer.get());

    auto second = std::async(std::launch::async, [&] { return s.messages->AskYesNo("Send it?"); });
    ASSERT_TRUE(s.pty.WaitFor("Send it? [y/n] "));
    s.pty.Type("no\n");
    ASSERT_TRUE(Finished(second, 5s));
    EXPECT_FALSE(second.get());

    EXPECT_EQ(s.Seen().Text(), "Convert X.HEX first? [y/n] maybe\n"
                               "Please answer y or n.\n"
                               "Convert X.HEX first? [y/n]  Y \n"
                               "Send it? [y/n] no\n");
}

// --yes and --no answer without reading the terminal, and say so.
TEST(TerminalQuestions, AnsweredByTheCommandLine) {
    Station yes(AnswerPolicy::Yes), no(AnswerPolicy::No);
    EXPECT_TRUE(yes.messages->AskYesNo("Convert?"));
    EXPECT_FALSE(no.messages->AskYesNo("Convert?"));
    EXPECT_EQ(yes.Seen().Text(), "Convert? [y/n] yes (--yes)\n");
    EXPECT_EQ(no.Seen().Text(), "Convert? [y/n] no (--no)\n");
}

// Ctrl-C at a question ends the program (130); the end of input is a clear error (64).
TEST(TerminalQuestions, CtrlCOrEndOfInputAtAQuestionEndTheRun) {
    Station s;
    auto asked = std::async(std::launch::async, [&] { return s.messages->AskYesNo("Convert?"); });
    ASSERT_TRUE(s.pty.WaitFor("Convert? [y/n] "));
    s.CtrlC();
    ASSERT_TRUE(Finished(asked, 5s));
    try {
        asked.get();
        ADD_FAILURE() << "no exception";
    } catch (const CliExit& e) {
        EXPECT_EQ(e.status, kExitInterrupted);
    }

    Station t;
    auto eof = std::async(std::launch::async, [&] { return t.messages->AskYesNo("Convert?"); });
    ASSERT_TRUE(t.pty.WaitFor("Convert? [y/n] "));
    t.pty.Type("\x04"); // Ctrl-D
    ASSERT_TRUE(Finished(eof, 5s));
    try {
        eof.get();
        ADD_FAILURE() << "no exception";
    } catch (const CliExit& e) {
        EXPECT_EQ(e.status, kExitUsage);
        EXPECT_NE(std::string(e.what()).find("terminal closed"), std::string::npos);
    }
}

// The failure alert rings the bell and waits until the person presses Enter.
TEST(TerminalAlert, RingsAndWaitsForEnter) {
    Station s;
    auto alert = std::async(std::launch::async, [&] {
        s.messages->Beep();
        s.messages->ShowMessage("Too many failures in a row", MessageKind::Warning);
    });
    ASSERT_TRUE(s.pty.WaitFor("Press Enter to go on. "));
    EXPECT_FALSE(Finished(alert, 100ms));
    s.pty.Type("\n");
    ASSERT_TRUE(Finished(alert, 5s));
    Screen seen = s.Seen();
    EXPECT_EQ(seen.bells, 1);
    EXPECT_EQ(seen.Text(), "[alert 1] Too many failures in a row\nPress Enter to go on. \n");
    EXPECT_EQ(s.messages->alerts(), 1);
}

// Without a terminal (a script with pipes): no bell, the alert is printed and counted at
// once, and a question is a clear error instead of a hang.
TEST(ScriptMode, AlertsCountedQuestionsRefused) {
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    SteadyClock clock;
    {
        TerminalMessages w(TerminalIo::Probe(in[0], out[1], -1), AnswerPolicy::Ask, clock);
        w.Beep();
        w.ShowMessage("Too many failures in a row", MessageKind::Warning);
        w.ShowMessage("Too many failures in a row", MessageKind::Warning);
        EXPECT_EQ(w.alerts(), 2);
        try {
            w.AskYesNo("Convert X.HEX first?");
            ADD_FAILURE() << "no exception";
        } catch (const CliExit& e) {
            EXPECT_EQ(e.status, kExitUsage);
            EXPECT_NE(std::string(e.what()).find("give --yes or --no"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find("Convert X.HEX first?"), std::string::npos);
        }
        w.DoEvents(0); // standard input is not read when it is no terminal
    }
    close(out[1]);
    std::string got;
    char buf[256];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(got, "[alert 1] Too many failures in a row\n[alert 2] Too many failures in a row\n");
    for (int fd : {in[0], in[1], out[0]})
        close(fd);
}

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Handling pending events waits up to its bound without burning CPU, and returns at
// once when a close signal arrives; a second signal ends the program.
TEST(TerminalEvents, WaitsUpToTheBoundAndWakesForSignals) {
    Station s;
    int closes = 0, pumps = 0;
    s.messages->onClose = [&] { ++closes; };
    s.messages->onPump = [&] { ++pumps; };

    auto t0 = std::chrono::steady_clock::now();
    double cpu0 = CpuSeconds();
    s.messages->DoEvents(200);
    double cpu = CpuSeconds() - cpu0;
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, 199ms);
    EXPECT_LT(waited, 1s);
    EXPECT_LT(cpu, 0.02) << "waiting must not spin";
    EXPECT_EQ(pumps, 1);

    s.CtrlC();
    t0 = std::chrono::steady_clock::now();
    s.messages->DoEvents(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(s.messages->closeSignals(), 1);
    EXPECT_NE(s.Seen().Text().find("Stopping (Ctrl-C again ends at once)."), std::string::npos);

    s.CtrlC();
    try {
        s.messages->DoEvents(5000);
        ADD_FAILURE() << "no exception";
    } catch (const CliExit& e) {
        EXPECT_EQ(e.status, kExitInterrupted);
    }
    EXPECT_EQ(closes, 1);
}

// The model's timers tick inside the pump when due, and "q" typed is a close request.
TEST(TerminalEvents, RunsDueTimersAndTypedQuit) {
    Station s;
    Timer t2{20, true};
    int ticks = 0, closes = 0;
    s.messages->timers().Add(t2, [&] {
        ++ticks;
        t2.enabled = false; // as a step does; nothing re-arms it here
    });
    s.messages->onClose = [&] { ++closes; };

    auto t0 = std::chrono::steady_clock::now();
    s.messages->WaitForEvent(); // no bound: returns after the tick
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(ticks, 1);
    EXPECT_GE(waited, 19ms);
    EXPECT_LT(waited, 1s);

    s.pty.Type("hello\n");
    s.messages->DoEvents(2000);
    EXPECT_EQ(closes, 0) << "other lines are ignored";
    s.pty.Type("q\n");
    s.messages->DoEvents(2000);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(ticks, 1);
}

} // namespace
} // namespace kaprin::cli
