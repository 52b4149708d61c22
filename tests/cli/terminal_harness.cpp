#include "terminal_harness.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kaprin::cli::test {

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        return;
    const char* name = ptsname(master_);
    if (!name)
        return;
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return;
    reader_ = std::thread([this] { Reader(); });
}

PseudoTerminal::~PseudoTerminal() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    if (reader_.joinable())
        reader_.join();
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
}

void PseudoTerminal::Reader() {
    char buf[4096];
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            std::lock_guard lock(mutex_);
            stop_ = true; // the program's side is closed
            changed_.notify_all();
            return;
        }
        std::lock_guard lock(mutex_);
        raw_.append(buf, static_cast<std::size_t>(n));
        changed_.notify_all();
    }
}

void PseudoTerminal::Type(const std::string& text) {
    (void)!write(master_, text.data(), text.size());
}

bool PseudoTerminal::WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return raw_.find(text) != std::string::npos; });
}

std::string PseudoTerminal::Raw() {
    std::lock_guard lock(mutex_);
    return raw_;
}

void PseudoTerminal::CloseSlave() {
    // Let the reader drain what the program wrote before its side goes away.
    for (int i = 0; i < 50; ++i) {
        std::size_t before = Raw().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (Raw().size() == before)
            break;
    }
    if (slave_ >= 0)
        close(slave_);
    slave_ = -1;
}

Screen Screen::Render(const std::string& raw) {
    Screen s;
    s.lines.emplace_back();
    std::size_t col = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        std::string& line = s.lines.back();
        if (c == '\r') {
            col = 0;
        } else if (c == '\n') {
            s.lines.emplace_back();
            col = 0;
        } else if (c == '\a') {
            ++s.bells;
        } else if (c == '\x1b' && i + 2 < raw.size() && raw[i + 1] == '[' && raw[i + 2] == 'K') {
            line.resize(std::min(line.size(), col));
            i += 2;
        } else {
            if (col < line.size())
                line[col] = c;
            else
                line.push_back(c);
            ++col;
        }
    }
    if (s.lines.back().empty())
        s.lines.pop_back();
    return s;
}

std::string Screen::Text() const {
    std::string t;
    for (const std::string& l : lines)
        t += l + "\n";
    return t;
}

} // namespace kaprin::cli::test
