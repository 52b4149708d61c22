// scanner-sim: a scanner's boot loader on a pseudo-terminal.
#include "boot_loader.h"
#include "options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

int64_t Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Pending {
    int64_t due;
    uint8_t byte;
};

struct Totals {
    long rxBytes = 0;
    long txBytes = 0;
    // Where the time goes, for the benchmark: how late answers left against their due time,
    // and how long the client took from an answer leaving to its next bytes arriving here
    // (both pseudo-terminal directions and the client's own reaction).
    double lateNs = 0;
    long lateCount = 0;
    double clientNs = 0;
    long clientCount = 0;
    int64_t lastWrite = -1;
};

// Opens the master side and keeps a slave descriptor of our own: while it is open, a client
// closing its end never hangs the terminal up, so it can open and close it again and again.
bool OpenTerminal(int& master, int& slave, std::string& slavePath) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return false;
    const char* name = ptsname(master);
    if (name == nullptr)
        return false;
    slavePath = name;
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return false;
    // Raw from the start, so that nothing is echoed before a client configures the line.
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
    }
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    return true;
}

timespec Span(int64_t ns) {
    if (ns < 0)
        ns = 0;
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

} // namespace

int main(int argc, char** argv) {
    sim::Options options;
    std::string error;
    if (!sim::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "scanner-sim: %s\n(see scanner-sim --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::kUsage, stdout);
        return 0;
    }

    std::FILE* log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "w");
        if (log == nullptr) {
            std::fprintf(stderr, "scanner-sim: cannot write %s: %s\n", options.logPath.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }

    int master = -1;
    int slave = -1;
    std::string slavePath;
    if (!OpenTerminal(master, slave, slavePath)) {
        std::fprintf(stderr, "scanner-sim: no pseudo-terminal: %s\n", std::strerror(errno));
        return 3;
    }

    // Signals arrive only inside ppoll, so none is missed between a check and the wait.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t waiting;
    sigemptyset(&waiting);

    // A test that dies must not leave its simulator behind, holding its output open.
    prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);

    // Answers are timed to the microsecond; the default slack would add 50 us to each.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    std::printf("RS232_COM1=%s\n", slavePath.c_str());
    std::fflush(stdout);

    sim::BootLoader device(options, log);
    const int64_t byteNs = options.baud > 0 ? 10 * 1000000000LL / options.baud : 0;
    const int64_t turnaroundNs = options.turnaroundUs * 1000;
    int64_t rxFree = 0; // when the incoming wire is free again
    int64_t txFree = 0; // when the outgoing wire is free again
    std::deque<Pending> answers;
    Totals totals;
    uint8_t buffer[4096];

    while (!stopRequested) {
        int64_t now = Now();

        // Send every answer that has finished its time on the wire.
        while (!answers.empty() && answers.front().due <= now) {
            uint8_t out[sizeof buffer];
            size_t count = 0;
            const int64_t due = answers.front().due;
            while (!answers.empty() && answers.front().due <= now && count < sizeof out) {
                out[count++] = answers.front().byte;
                answers.pop_front();
            }
            const ssize_t n = write(master, out, count);
            const int64_t written = Now();
            if (n > 0) {
                totals.txBytes += n;
                totals.lateNs += static_cast<double>(written - due);
                ++totals.lateCount;
                totals.lastWrite = written;
            }
        }

        if (device.Finished(now))
            break;
        int64_t wakeAt = device.Idle(now);
        if (!answers.empty() && (wakeAt < 0 || answers.front().due < wakeAt))
            wakeAt = answers.front().due;

        pollfd p{master, POLLIN, 0};
        timespec span = Span(wakeAt - now);
        const int rc = ppoll(&p, 1, wakeAt < 0 ? nullptr : &span, &waiting);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (rc == 0 || !(p.revents & POLLIN))
            continue;

        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        now = Now();
        totals.rxBytes += n;
        if (totals.lastWrite >= 0 && answers.empty()) {
            totals.clientNs += static_cast<double>(now - totals.lastWrite);
            ++totals.clientCount;
            totals.lastWrite = -1;
        }
        // The bytes arrive one after another at the line rate, no earlier than now.
        const int64_t first = rxFree > now ? rxFree : now;
        for (ssize_t i = 0; i < n; ++i) {
            const int64_t arrived = first + (i + 1) * byteNs;
            if (auto answer = device.Receive(buffer[i], arrived)) {
                const int64_t ready = arrived + turnaroundNs;
                const int64_t due = (ready > txFree ? ready : txFree) + byteNs;
                txFree = due;
                answers.push_back({due, *answer});
                if (auto extra = device.TakeExtra()) {
                    txFree += byteNs;
                    answers.push_back({txFree, *extra});
                }
            }
        }
        rxFree = first + n * byteNs;
    }

    if (log != nullptr) {
        std::fprintf(log,
                     "totals frames=%ld rx_bytes=%ld tx_bytes=%ld downloads=%ld "
                     "answer_late_us=%.1f answer_late_s=%.6f client_turn_us=%.1f\n",
                     device.Frames(), totals.rxBytes, totals.txBytes, device.Downloads(),
                     totals.lateCount ? totals.lateNs / totals.lateCount / 1000 : 0.0,
                     totals.lateNs / 1e9,
                     totals.clientCount ? totals.clientNs / totals.clientCount / 1000 : 0.0);
        std::fclose(log);
    }
    close(slave);
    close(master);
    return 0;
}
