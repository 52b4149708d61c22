// The message services of the terminal front end: the status line shows the run's status
// (StatusView), questions are asked on the terminal or answered by --yes / --no, alerts
// are printed and counted, and the station's pump waits in poll() on the terminal and the
// close signals, running the model's timers when due.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/cli/cli_options.h"
#include "kaprin/cli/status_view.h"
#include "kaprin/cli/timer_pump.h"

#include <deque>
#include <functional>
#include <string>

namespace kaprin::cli {

struct TerminalIo {
    int in = 0;  // read for answers and typed commands when it is a terminal
    int out = 1; // the status line, messages and questions
    int err = 2; // warnings
    bool inTerminal = false;
    bool outTerminal = false;
    int signalFd = -1; // read end of the close-signal pipe, or -1
    int columns = 80;

    // Looks at the given descriptors (isatty, the terminal's width).
    static TerminalIo Probe(int in, int out, int signalFd);
};

class TerminalMessages : public MessageServices {
public:
    TerminalMessages(TerminalIo io, AnswerPolicy answers, Clock& clock);

    StatusView& view() { return view_; }
    TimerPump& timers() { return timers_; }

    // Copies the model's state into the view; called at every pump.
    std::function<void()> onPump;
    // Shows what a person needs to answer a question (the file dates).
    std::function<void()> onQuestion;
    // A message box's text (the automatic mode's alert).
    std::function<void(const std::string& text)> onMessage;
    // A close request from outside: Ctrl-C, SIGTERM, SIGHUP, or "q" typed on the
    // terminal. A second signal ends the program at once (CliExit 130).
    std::function<void()> onClose;

    int alerts() const { return alerts_; }
    int closeSignals() const { return signals_; }

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    void Warn(const std::string& text) override;
    void Beep() override;
    [[noreturn]] void Fatal(const std::string& text) override;

    // Reads standard input whether it is a terminal or not, and keeps the lines that are
    // not commands for AskLine (a label scanned while the station waits is not lost).
    void KeepInputLines() {
        keepLines_ = true;
        inOpen_ = true;
    }
    // One non-empty line of input for `prompt`, the oldest kept one first. Ctrl-C or the
    // end of input ends the station (CliExit).
    std::string AskLine(const std::string& prompt);

    // The front end's pump: waits at most `maxWaitMs` (-1: no bound) for the terminal,
    // a close signal or a timer tick, handles what came, and shows the model's state.
    void DoEvents(int maxWaitMs);
    // One pump without a bound (it returns after the next event or timer tick).
    void WaitForEvent() { DoEvents(-1); }

private:
    enum class Got { Nothing, Line, Signal, EndOfInput };
    // Waits up to `timeoutMs` (-1: no bound) for a typed line or a close signal.
    Got WaitInput(int timeoutMs, std::string& line);
    bool TakeLine(std::string& line);
    int TakeSignals();
    void HandleSignals(int count);
    void Pump();

    TerminalIo io_;
    AnswerPolicy answers_;
    Clock& clock_;
    StatusView view_;
    TimerPump timers_;
    std::string inBuffer_;
    std::deque<std::string> keptLines_;
    bool keepLines_ = false;
    bool inOpen_;
    int alerts_ = 0;
    int signals_ = 0;
};

} // namespace kaprin::cli
