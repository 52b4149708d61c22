#include "kaprin/cli/terminal_messages.h"

#include "kaprin/base/regular_file.h"

#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/service_notify.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kaprin::cli {

namespace {

std::string Trimmed(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t\r");
    std::string t = s.substr(b, e - b + 1);
    std::transform(t.begin(), t.end(), t.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return t;
}

} // namespace

TerminalIo TerminalIo::Probe(int in, int out, int signalFd) {
    TerminalIo io;
    io.in = in;
    io.out = out;
    io.inTerminal = isatty(in) == 1;
    io.outTerminal = isatty(out) == 1;
    io.signalFd = signalFd;
    struct winsize ws {};
    if (io.outTerminal && ioctl(out, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        io.columns = ws.ws_col;
    return io;
}

// What cannot be written (a terminal that hung up, a closed pipe) is dropped: the station
// goes on.
TerminalMessages::TerminalMessages(TerminalIo io, AnswerPolicy answers, Clock& clock)
    : io_(io), answers_(answers), clock_(clock),
      view_([fd = io.out](std::string_view text) { (void)WriteAll(fd, text); }, io.outTerminal,
            io.columns),
      timers_(clock), inOpen_(io.inTerminal) {}

bool TerminalMessages::TakeLine(std::string& line) {
    auto nl = inBuffer_.find('\n');
    if (nl == std::string::npos)
        return false;
    line = inBuffer_.substr(0, nl);
    inBuffer_.erase(0, nl + 1);
    return true;
}

int TerminalMessages::TakeSignals() {
    // One read: poll said the pipe is readable, and a second read could block on a pipe
    // that was not made non-blocking.
    unsigned char buf[64];
    ssize_t n;
    do
        n = read(io_.signalFd, buf, sizeof buf);
    while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<int>(n) : 0;
}

TerminalMessages::Got TerminalMessages::WaitInput(int timeoutMs, std::string& line) {
    if (TakeLine(line))
        return Got::Line;
    pollfd fds[2];
    nfds_t n = 0;
    int sigAt = -1, inAt = -1;
    if (io_.signalFd >= 0) {
        sigAt = static_cast<int>(n);
        fds[n++] = pollfd{io_.signalFd, POLLIN, 0};
    }
    if (inOpen_) {
        inAt = static_cast<int>(n);
        fds[n++] = pollfd{io_.in, POLLIN, 0};
    }
    if (n == 0 && timeoutMs < 0)
        return Got::Nothing; // nothing could ever wake the wait
    int r = poll(fds, n, timeoutMs);
    if (r <= 0)
        return Got::Nothing; // time-out, or a signal that the pipe reports next time
    if (sigAt >= 0 && fds[sigAt].revents != 0)
        return Got::Signal;
    if (inAt >= 0 && fds[inAt].revents != 0) {
        char buf[512];
        ssize_t got = read(io_.in, buf, sizeof buf);
        if (got > 0) {
            inBuffer_.append(buf, static_cast<std::size_t>(got));
            return TakeLine(line) ? Got::Line : Got::Nothing;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return Got::Nothing;
        inOpen_ = false; // end of input, or a terminal that went away
        return Got::EndOfInput;
    }
    return Got::Nothing;
}

void TerminalMessages::HandleSignals(int count) {
    for (int i = 0; i < count; ++i) {
        if (++signals_ > 1)
            throw CliExit(kExitInterrupted, "interrupted");
        view_.Print(UnderServiceManager()
                        ? "Stopping; a download under way ends first (systemctl kill ends at once)."
                        : "Stopping (Ctrl-C again ends at once).");
        if (onClose)
            onClose();
    }
}

void TerminalMessages::Pump() {
    if (onPump)
        onPump();
}

void TerminalMessages::DoEvents(int maxWaitMs) {
    std::uint32_t start = clock_.TickCount();
    for (;;) {
        int next = timers_.Arm();
        int left = -1;
        if (maxWaitMs >= 0)
            left = std::max<int>(0, maxWaitMs - static_cast<int>(clock_.TickCount() - start));
        int timeout = left < 0 ? next : next < 0 ? left : std::min(left, next);
        if (timeout < 0 && io_.signalFd < 0 && !inOpen_)
            break; // no timer, no terminal, no signals: nothing can happen

        std::string line;
        bool handled = false;
        switch (WaitInput(timeout, line)) {
        case Got::Signal:
            HandleSignals(TakeSignals());
            handled = true;
            break;
        case Got::Line: {
            view_.InputEnded();
            std::string command = Trimmed(line);
            if (command == "q" || command == "quit")
                HandleSignals(1);
            else if (keepLines_ && !command.empty())
                keptLines_.push_back(line);
            handled = true;
            break;
        }
        case Got::EndOfInput:
        case Got::Nothing:
            break;
        }
        handled = timers_.FireDue() || handled;
        if (handled)
            break;
        if (maxWaitMs >= 0 && static_cast<int>(clock_.TickCount() - start) >= maxWaitMs)
            break;
    }
    Pump();
}

bool TerminalMessages::AskYesNo(const std::string& text) {
    Pump();
    if (onQuestion)
        onQuestion();
    if (answers_ != AnswerPolicy::Ask) {
        bool yes = answers_ == AnswerPolicy::Yes;
        view_.Print(text + " [y/n] " + (yes ? "yes (--yes)" : "no (--no)"));
        return yes;
    }
    if (!io_.inTerminal || !inOpen_)
        throw CliExit(kExitUsage, "cannot ask \"" + text +
                                      "\": there is no terminal to answer on; give --yes or --no");
    for (;;) {
        view_.Prompt(text + " [y/n] ");
        std::string line;
        Got got = Got::Nothing;
        while (got == Got::Nothing)
            got = WaitInput(-1, line);
        if (got == Got::Signal) {
            signals_ += TakeSignals();
            view_.InputEnded();
            view_.Print("");
            throw CliExit(kExitInterrupted, "interrupted at the question \"" + text + "\"");
        }
        if (got == Got::EndOfInput) {
            view_.Print("");
            throw CliExit(kExitUsage, "no answer to \"" + text + "\": the terminal closed");
        }
        view_.InputEnded();
        std::string answer = Trimmed(line);
        if (answer == "y" || answer == "yes")
            return true;
        if (answer == "n" || answer == "no")
            return false;
        view_.Print("Please answer y or n.");
    }
}

std::string TerminalMessages::AskLine(const std::string& prompt) {
    Pump();
    for (;;) {
        if (!keptLines_.empty()) {
            std::string line = keptLines_.front();
            keptLines_.pop_front();
            const auto b = line.find_first_not_of(" \t\r");
            line = line.substr(b, line.find_last_not_of(" \t\r") - b + 1);
            view_.Print(prompt + line);
            return line;
        }
        std::string line;
        Got got = Got::EndOfInput;
        if (inOpen_) {
            view_.Prompt(prompt);
            for (got = Got::Nothing; got == Got::Nothing;)
                got = WaitInput(-1, line);
            view_.InputEnded();
        }
        if (got == Got::Signal) {
            signals_ += TakeSignals();
            view_.Print("");
            throw CliExit(kExitInterrupted, "interrupted at \"" + prompt + "\"");
        }
        if (got == Got::EndOfInput) {
            view_.Print("");
            throw CliExit(kExitOk, "the input ended: no more units");
        }
        if (!Trimmed(line).empty())
            keptLines_.push_back(line);
    }
}

void TerminalMessages::ShowMessage(const std::string& text, MessageKind) {
    Pump();
    ++alerts_;
    if (onMessage)
        onMessage(text);
    view_.Print("[alert " + std::to_string(alerts_) + "] " + text);
    if (!io_.inTerminal || !inOpen_)
        return; // printed and counted; nobody is there to press Enter
    view_.Prompt("Press Enter to go on. ");
    std::string line;
    for (;;) {
        Got got = WaitInput(-1, line);
        if (got == Got::Line || got == Got::EndOfInput) {
            view_.InputEnded();
            return;
        }
        if (got == Got::Signal) {
            view_.Print("");
            HandleSignals(TakeSignals());
            return;
        }
    }
}

void TerminalMessages::Warn(const std::string& text) {
    view_.Finish(); // the warning starts a line of its own, also on a shared terminal
    (void)WriteAll(io_.err, "kaprin-cli: warning: " + text + "\n");
}

void TerminalMessages::Beep() {
    view_.Bell();
}

void TerminalMessages::Fatal(const std::string& text) {
    throw CliExit(kExitFatal, text);
}

} // namespace kaprin::cli
