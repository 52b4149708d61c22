#include "kaprin/cli/status_view.h"

#include <algorithm>

namespace kaprin::cli {

namespace {

// In-place redraws of the same status at most this often: a transfer polls every few
// milliseconds, and a terminal over SSH needs no more than this to look live.
constexpr std::uint32_t kRedrawMs = 50;

// Decodes one UTF-8 sequence at `i`; invalid bytes count as one character each.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= s.size()) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    return cp;
}

bool Wide(char32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

} // namespace

StatusView::StatusView(Sink sink, bool terminal, int columns)
    : sink_(std::move(sink)), terminal_(terminal), columns_(std::max(columns, 20)) {}

std::string StatusView::Bar(int percent, int cells) {
    percent = std::clamp(percent, 0, 100);
    int filled = percent * cells / 100;
    return "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "]";
}

std::string StatusView::StatusKey(std::string_view text) {
    std::string key;
    bool inNumber = false;
    for (char c : text) {
        bool digit = c >= '0' && c <= '9';
        if (!digit)
            key += c;
        else if (!inNumber)
            key += '#';
        inNumber = digit;
    }
    return key;
}

int StatusView::Columns(std::string_view utf8) {
    int columns = 0;
    for (std::size_t i = 0; i < utf8.size();)
        columns += Wide(NextCodePoint(utf8, i)) ? 2 : 1;
    return columns;
}

std::string StatusView::FitColumns(std::string_view utf8, int columns) {
    int used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t at = i;
        int w = Wide(NextCodePoint(utf8, i)) ? 2 : 1;
        if (used + w > columns)
            return std::string(utf8.substr(0, at));
        used += w;
    }
    return std::string(utf8);
}

std::string StatusView::Compose(const StatusSnapshot& s) const {
    std::string line = s.panel1;
    if (!s.panel2.empty()) {
        std::string figure = s.panel2;
        if (figure.size() < 4)
            figure.insert(0, 4 - figure.size(), ' ');
        line += (line.empty() ? "" : "  ") + Bar(s.percent) + " " + figure;
    }
    // One column is kept free so that the cursor never wraps to the next line.
    return FitColumns(line, columns_ - 1);
}

void StatusView::ShowList(const std::vector<std::string>& items) {
    if (items == lastList_)
        return;
    lastList_ = items;
    Finish();
    for (const std::string& item : items)
        Write("  " + item + "\n");
}

void StatusView::Show(const StatusSnapshot& s, std::uint32_t nowMs) {
    if (s.panel1.empty() && s.panel2.empty())
        return; // a cleared status keeps the last one on the screen
    std::string key = StatusKey(s.panel1);
    bool changed = !haveKey_ || key != lastKey_;
    haveKey_ = true;
    lastKey_ = key;

    if (!terminal_) {
        if (changed && !s.panel1.empty())
            Write(s.panel1 + "\n");
        return;
    }
    std::string line = Compose(s);
    if (changed) {
        if (lineOpen_ && !pending_.empty())
            Write("\r" + pending_ + "\x1b[K"); // the figures the pacing held back
        if (lineOpen_)
            Write("\n");
        pending_.clear();
        Write(line);
        lineOpen_ = true;
        shown_ = line;
        lastDraw_ = nowMs;
        return;
    }
    // The same line is not drawn twice, not even below a message or a question.
    if (line == shown_) {
        pending_.clear();
        return;
    }
    if (lineOpen_ && nowMs - lastDraw_ < kRedrawMs) {
        pending_ = line; // a later pump draws it
        return;
    }
    pending_.clear();
    Write("\r" + line + "\x1b[K");
    lineOpen_ = true;
    shown_ = line;
    lastDraw_ = nowMs;
}

void StatusView::Print(const std::string& line) {
    Finish();
    Write(line + "\n");
}

void StatusView::Prompt(const std::string& text) {
    Finish();
    Write(text);
}

void StatusView::Bell() {
    if (terminal_)
        Write("\a");
}

void StatusView::InputEnded() {
    lineOpen_ = false;
    pending_.clear();
}

void StatusView::Finish() {
    if (lineOpen_ && !pending_.empty())
        Write("\r" + pending_ + "\x1b[K");
    pending_.clear();
    if (lineOpen_)
        Write("\n");
    lineOpen_ = false;
}

} // namespace kaprin::cli
