// What the station shows of its run: panel 1 of the status bar as a status line,
// the percentage as a progress bar, and, where a person needs them (at the start and
// before a question), the lines of the information list.
// On a terminal the line is redrawn in place while only its figures change (the block
// count, the percentage) and a new line starts when the status itself changes, so the
// outcomes stay on the screen; into a pipe or a file only each change of status is
// written, as one line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kaprin::cli {

struct StatusSnapshot {
    std::string panel1, panel2; // the status bar's panels
    int percent = 0;            // the progress bar's value
};

class StatusView {
public:
    using Sink = std::function<void(std::string_view)>;

    StatusView(Sink sink, bool terminal, int columns = 80);

    // Called at every pump with the model's state; `nowMs` paces the redraws.
    void Show(const StatusSnapshot& snapshot, std::uint32_t nowMs);
    // The information list's lines, indented, unless they were the last ones shown.
    void ShowList(const std::vector<std::string>& items);
    // A line of its own (a message); the status line stays above it.
    void Print(const std::string& line);
    // A question: the text without a line end; the person's Enter ends the line.
    void Prompt(const std::string& text);
    void Bell();
    // The person pressed Enter on the terminal: the cursor stands on a fresh line.
    void InputEnded();
    // Ends a status line that is still open (before the program ends).
    void Finish();

    bool terminal() const { return terminal_; }

    // The parts of a status line, public for the tests.
    static std::string Bar(int percent, int cells = 20);
    // The status without its figures: equal keys are the same status.
    static std::string StatusKey(std::string_view text);
    // Terminal columns taken by a UTF-8 text (East Asian wide characters take two).
    static int Columns(std::string_view utf8);
    static std::string FitColumns(std::string_view utf8, int columns);

private:
    void Write(std::string_view text) { sink_(text); }
    std::string Compose(const StatusSnapshot& s) const;

    Sink sink_;
    bool terminal_;
    int columns_;
    bool lineOpen_ = false; // a status line without its line end is on the screen
    bool haveKey_ = false;
    std::string lastKey_;
    std::string shown_;   // the status line as last drawn
    std::string pending_; // a redraw held back by the pacing
    std::uint32_t lastDraw_ = 0;
    std::vector<std::string> lastList_;
};

} // namespace kaprin::cli
