// A pseudo-terminal standing in for the person at a station: the program under test
// gets the terminal side, the test reads what appears on the screen and types answers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kaprin::cli::test {

class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return slave_ >= 0; }
    int slave() const { return slave_; } // the program's terminal
    std::string slavePath() const { return slavePath_; }

    // Types a text as the person would (the terminal echoes it).
    void Type(const std::string& text);
    // Waits until `text` has appeared on the screen since the start; false on time-out.
    bool WaitFor(const std::string& text,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Everything written to the terminal so far, as raw bytes.
    std::string Raw();
    // Closes the program's side, then collects the rest of the output.
    void CloseSlave();

private:
    void Reader();
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string raw_;
    bool stop_ = false;
    std::thread reader_;
};

// The lines a person sees after a terminal has drawn `raw`: carriage returns move to the
// start of the line, ESC [ K clears to its end, bells are counted.
struct Screen {
    std::vector<std::string> lines;
    int bells = 0;
    static Screen Render(const std::string& raw);
    std::string Text() const; // the lines joined with line ends
};

} // namespace kaprin::cli::test
