// The window services of the terminal front end. There are no windows: the status line
// stands for the status bar (StatusView), questions are asked on the terminal or answered
// by --yes / --no, and the station's pump waits in poll() on the terminal and the close
// signals, running the model's timers when due.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/cli/cli_options.h"
#include "kaprin/cli/status_view.h"
#include "kaprin/cli/timer_pump.h"

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

class TerminalWindows : public WindowServices {
public:
    TerminalWindows(TerminalIo io, AnswerPolicy answers, Clock& clock);

    StatusView& view() { return view_; }
    TimerPump& timers() { return timers_; }

    // Copies the model's state into the view; called at every pump.
    std::function<void()> onPump;
    // Shows what a person needs to answer a question (the file dates).
    std::function<void()> onQuestion;
    // A close request from outside: Ctrl-C, SIGTERM, SIGHUP, or "q" typed on the
    // terminal. A second signal ends the program at once (CliExit 130).
    std::function<void()> onClose;

    int alerts() const { return alerts_; }
    bool closeRequested() const { return closeRequested_; }
    int closeSignals() const { return signals_; }

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    void Warn(const std::string& text) override;
    std::optional<std::string> ChooseOpenFile(const FileDialog& dialog) override;
    std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) override;
    void Beep() override;
    void CloseMainWindow() override;
    void ShowWindow(WindowId id) override;
    void ShowModalWindow(WindowId id) override;
    void CloseWindow(WindowId id) override;
    void OpenHelp(const std::string& path) override;
    [[noreturn]] void Fatal(const std::string& text) override;

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
    bool inOpen_;
    int alerts_ = 0;
    int signals_ = 0;
    bool closeRequested_ = false;
};

} // namespace kaprin::cli
