#include "kaprin/cli/status_view.h"

#include "terminal_harness.h"

#include <gtest/gtest.h>

namespace kaprin::cli {
namespace {

using test::Screen;

struct Recorder {
    std::string out;
    StatusView::Sink sink() {
        return [this](std::string_view t) { out += t; };
    }
};

StatusSnapshot Status(std::string p1, std::string p2 = "", int percent = 0) {
    return StatusSnapshot{std::move(p1), std::move(p2), percent};
}

// A transfer on a terminal: the progress redraws one line in place; the outcome starts
// a new line, and the status before it stays above.
TEST(StatusViewTerminal, ProgressInPlaceOutcomeOnItsOwnLine) {
    Recorder r;
    StatusView v(r.sink(), true, 80);
    std::uint32_t t = 0;
    v.Show(Status("Waiting for the device"), t += 100);
    v.Show(Status(""), t += 100); // ClearStatus: the last status stays on the screen
    v.Show(Status("Block 1 sent", "0%", 0), t += 100);
    v.Show(Status("Block 2 sent", "50%", 50), t += 100);
    v.Show(Status("Block 3 sent", "100%", 100), t += 100);
    v.Show(Status("Download finished", "100%", 100), t += 100);
    v.Show(Status("Download finished"), t += 100);
    v.Finish();

    Screen s = Screen::Render(r.out);
    ASSERT_EQ(s.lines.size(), 3u) << r.out;
    EXPECT_EQ(s.lines[0], "Waiting for the device");
    EXPECT_EQ(s.lines[1], "Block 3 sent  [####################] 100%");
    EXPECT_EQ(s.lines[2], "Download finished");
}

// Figures that change faster than the redraw pace are held back, but the last ones are
// drawn before the line is left, so the screen never keeps a stale percentage.
TEST(StatusViewTerminal, PacedRedrawsStillShowTheLastFigures) {
    Recorder r;
    StatusView v(r.sink(), true, 80);
    for (int p = 0; p <= 100; p += 10)
        v.Show(Status("Block " + std::to_string(p) + " sent", std::to_string(p) + "%", p),
               1000 + p / 10);
    std::size_t redraws = 0;
    for (std::size_t i = r.out.find('\r'); i != std::string::npos; i = r.out.find('\r', i + 1))
        ++redraws;
    EXPECT_EQ(redraws, 0u) << "all within one pace interval";
    v.Show(Status("Time-out"), 2000);
    Screen s = Screen::Render(r.out);
    ASSERT_EQ(s.lines.size(), 2u) << r.out;
    EXPECT_EQ(s.lines[0], "Block 100 sent  [####################] 100%");
    EXPECT_EQ(s.lines[1], "Time-out");
}

// Into a pipe: one line per change of status, none for figures, nothing for a cleared one.
TEST(StatusViewPipe, OneLinePerChangeOfStatus) {
    Recorder r;
    StatusView v(r.sink(), false);
    v.Show(Status("Looking for a device"), 1);
    v.Show(Status("Looking for a device"), 2);
    v.Show(Status(""), 3);
    v.Show(Status("Block 0 sent", "0%"), 4);
    v.Show(Status("Block 7 sent", "40%", 40), 500);
    v.Show(Status("Download finished", "100%", 100), 900);
    v.Show(Status("Download finished"), 1100);
    v.Show(Status("Looking for a device"), 1200);
    EXPECT_EQ(r.out,
              "Looking for a device\nBlock 0 sent\nDownload finished\nLooking for a device\n");
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

// The information list's lines end the open status line and are not shown twice in a
// row; the same status is not drawn again below them or below a message.
TEST(StatusViewTerminal, ListLinesAndMessagesKeepTheStatusLineWhole) {
    Recorder r;
    StatusView v(r.sink(), true, 80);
    v.Show(Status("Waiting for the device"), 0);
    std::vector<std::string> list = {"HEX:2026/12/08 07:00:00", "PLN:2026/12/07 09:00:00"};
    v.ShowList(list);
    v.ShowList(list);
    v.Show(Status("Waiting for the device"), 10);
    v.Print("Convert? [y/n] yes (--yes)");
    v.Show(Status("Waiting for the device"), 30);
    v.Bell();
    v.Show(Status("Block 1 sent", "5%", 5), 200);
    v.Finish();
    Screen s = Screen::Render(r.out);
    EXPECT_EQ(s.Text(), "Waiting for the device\n"
                        "  HEX:2026/12/08 07:00:00\n"
                        "  PLN:2026/12/07 09:00:00\n"
                        "Convert? [y/n] yes (--yes)\n"
                        "Block 1 sent  [#...................]   5%\n");
    EXPECT_EQ(s.bells, 1);
}

// A line never reaches the last column (the cursor would wrap and break the redraw),
// and wide characters count twice.
TEST(StatusViewText, FitsTheTerminalWidth) {
    Recorder r;
    StatusView v(r.sink(), true, 30);
    v.Show(Status("A very long status text that goes on", "12%", 12), 0);
    EXPECT_EQ(r.out, "A very long status text that ");
    EXPECT_EQ(StatusView::Columns("目前狀態"), 8);
    EXPECT_EQ(StatusView::FitColumns("目前狀態", 5), "目前");
    EXPECT_EQ(StatusView::FitColumns("ab", 5), "ab");
    EXPECT_EQ(StatusView::Columns("\xff\xfe"), 2); // bytes that are not UTF-8 still count
}

TEST(StatusViewText, BarAndKey) {
    EXPECT_EQ(StatusView::Bar(0, 10), "[..........]");
    EXPECT_EQ(StatusView::Bar(55, 10), "[#####.....]");
    EXPECT_EQ(StatusView::Bar(140, 10), "[##########]");
    EXPECT_EQ(StatusView::Bar(-3, 4), "[....]");
    EXPECT_EQ(StatusView::StatusKey("Block 12 of 300"), "Block # of #");
    EXPECT_EQ(StatusView::StatusKey("Block 9 of 300"), StatusView::StatusKey("Block 120 of 7"));
}

} // namespace
} // namespace kaprin::cli
