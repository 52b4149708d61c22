// The widgets follow the model through a manual run and the automatic mode's switch.
#include "gui_fixture.h"

#include "kaprin/gui/lamp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace kaprin::test {
namespace {

struct Seen {
    bool startEnabled, stopEnabled, autoEnabled, timerT1;
    QString panel1, panel2;
    int bar;
    QColor dtr, rts, lamp0;
};

Seen Look(const GuiWorld& w) {
    return Seen{w.widget("cmdStart")->isEnabled(),
                w.widget("cmdStop")->isEnabled(),
                w.widget<QAction>("mnuAutoQuenlar")->isEnabled(),
                w.widget<QTimer>("t1")->isActive(),
                w.widget<QLabel>("SB1_Panel1")->text(),
                w.widget<QLabel>("SB1_Panel2")->text(),
                w.widget<QProgressBar>("PB1")->value(),
                w.widget<gui::Lamp>("sDTR")->colour(),
                w.widget<gui::Lamp>("sRTS")->colour(),
                w.widget<gui::Lamp>("Shape1_0")->colour()};
}

// A PLN file through Start: waiting, transferring, finished, as the widgets show it.
TEST(RunView, ManualRunOfAPlnFile) {
    GuiWorld w;
    const std::string image = w.dir.Write("fw/X.PLN", ":00000001FF\r\n");
    auto* box = w.widget<QLineEdit>("txtSFile");
    box->setText(QString::fromStdString(image));
    Q_EMIT box->textEdited(box->text());
    EXPECT_EQ(w.widget<QListWidget>("List1")->count(), 3); // created, modified, accessed

    w.windows.yesNoAnswers = {true}; // the transfer question
    w.pellin.checkZ = {0, 0, 1};
    w.pellin.percents = {0, 40, 100};
    w.pellin.blocks = {0, 7, 12};
    w.pellin.errors = {0, 0, 0};
    std::vector<Seen> seen;
    w.windows.Every(1, [&] {
        seen.push_back(Look(w));
        return false;
    });
    w.widget<QPushButton>("cmdStart")->click();
    w.Drive();

    ASSERT_GE(seen.size(), 4u);
    // While the device is awaited: Stop offered, the automatic mode locked, lines on.
    const Seen& waiting = seen.front();
    EXPECT_FALSE(waiting.startEnabled);
    EXPECT_TRUE(waiting.stopEnabled);
    EXPECT_FALSE(waiting.autoEnabled);
    EXPECT_EQ(waiting.panel1, "T1325");
    EXPECT_EQ(waiting.dtr, QColor(255, 0, 0));
    EXPECT_EQ(waiting.rts, QColor(255, 0, 0));
    // During the transfer: the bar, the block line, the percentage and the chaser.
    bool sawProgress = false;
    for (const Seen& s : seen) {
        if (s.bar == 40) {
            sawProgress = true;
            EXPECT_EQ(s.panel1, "T1317 7 T1318");
            EXPECT_EQ(s.panel2, "40%");
            EXPECT_FALSE(s.stopEnabled);
            EXPECT_TRUE(s.timerT1);
        }
    }
    EXPECT_TRUE(sawProgress);
    // Afterwards: finished, buttons back, lines off, lamps passed, the file remembered.
    const Seen after = Look(w);
    EXPECT_TRUE(after.startEnabled);
    EXPECT_FALSE(after.stopEnabled);
    EXPECT_TRUE(after.autoEnabled);
    EXPECT_FALSE(after.timerT1);
    EXPECT_EQ(after.panel1, "T1319");
    EXPECT_EQ(after.panel2, "");
    EXPECT_EQ(after.bar, 0);
    EXPECT_EQ(after.dtr, QColor(112, 0, 0));
    EXPECT_EQ(after.lamp0, QColor(0, 128, 0));
    EXPECT_EQ(w.pellin.loads, std::vector<std::string>{"BotLoad:" + image});
    EXPECT_EQ(w.widget<QLabel>("SB1_Panel3")->text(), "PASS  1 good, 0 failed");
    EXPECT_TRUE(w.widget<QAction>("mnuRF1")->isVisible());
    EXPECT_EQ(w.widget<QAction>("mnuRF1")->text(), "X.PLN");
    EXPECT_TRUE(w.widget<QAction>("mnuLine2")->isVisible());
}

// Stop clicked on the widget while the device is awaited ends the wait.
TEST(RunView, StopEndsTheWait) {
    GuiWorld w;
    w.model->SetSFile(w.dir.Write("X.PLN", ":00000001FF\r\n"));
    w.pellin.checkZ = {0};
    w.windows.At(3, [&] { w.widget<QPushButton>("cmdStop")->click(); });
    w.widget<QPushButton>("cmdStart")->click();
    w.Drive();
    EXPECT_EQ(w.widget<QLabel>("SB1_Panel1")->text(), "T1326");
    EXPECT_TRUE(w.widget("cmdStart")->isEnabled());
    EXPECT_FALSE(w.widget("cmdStop")->isEnabled());
    EXPECT_TRUE(w.pellin.loads.empty());
}

// The automatic mode hides Start and arms t2; its step stops t2 while it runs.
TEST(RunView, AutomaticModeDrivesTheTimer) {
    GuiWorld w;
    auto* t2 = w.widget<QTimer>("t2");
    w.widget<QAction>("mnuAutoQuenlar")->trigger();
    EXPECT_TRUE(w.widget<QAction>("mnuAutoQuenlar")->isChecked());
    EXPECT_TRUE(w.widget("cmdStart")->isHidden());
    EXPECT_TRUE(t2->isActive());
    EXPECT_EQ(t2->interval(), 20);

    // One step: no device yet; the person switches the mode off from the menu.
    w.pellin.checkZ = {0};
    bool timerDuringStep = true, runTicking = false;
    w.windows.At(w.windows.pumps + 2, [&] {
        timerDuringStep = t2->isActive();
        runTicking = w.widget<QTimer>("tRun")->isActive();
        w.widget<QAction>("mnuAutoQuenlar")->trigger();
    });
    // The step starts on the timer's own tick.
    QElapsedTimer waited;
    waited.start();
    while (!w.model->run.Busy() && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    w.Drive();
    EXPECT_FALSE(timerDuringStep);
    EXPECT_TRUE(runTicking);
    EXPECT_FALSE(t2->isActive());
    EXPECT_FALSE(w.widget<QAction>("mnuAutoQuenlar")->isChecked());
    EXPECT_FALSE(w.widget("cmdStart")->isHidden());
}

// Typing into the delay box selects no entry; choosing an entry selects it.
TEST(RunView, DelayBoxTypedAndChosen) {
    GuiWorld w;
    auto* delay = w.widget<QComboBox>("cboDelay");
    Q_EMIT delay->activated(3);
    EXPECT_EQ(w.model->cboDelay.listIndex, 3);
    delay->lineEdit()->setText("7 s");
    Q_EMIT delay->lineEdit()->textEdited("7 s");
    EXPECT_EQ(w.model->cboDelay.listIndex, -1);
    EXPECT_EQ(delay->currentIndex(), -1);
    EXPECT_EQ(delay->currentText(), "7 s");
}

// Clicking a line of the information list puts it into the list's tooltip.
TEST(RunView, InformationLineTooltip) {
    GuiWorld w;
    w.model->SetSFile(w.dir.Write("X.PLN", "x"));
    w.view->Refresh();
    auto* list = w.widget<QListWidget>("List1");
    ASSERT_EQ(list->count(), 3);
    list->setCurrentRow(1);
    EXPECT_EQ(list->toolTip(), list->item(1)->text());
}

} // namespace
} // namespace kaprin::test

namespace kaprin::test {
namespace {

// The usual keys: F1 the help, Ctrl+O the chooser, Ctrl+Q the close; Return presses the
// focused button, and Start from anywhere else in the window.
TEST(Keys, ConventionalKeys) {
    struct Case {
        const char* scenario;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* focus;
        std::function<bool(GuiWorld&)> happened;
    };
    const Case cases[] = {
        {"F1", Qt::Key_F1, Qt::NoModifier, "txtSFile",
         [](GuiWorld& w) { return w.windows.helpOpened.size() == 1; }},
        {"Ctrl+O", Qt::Key_O, Qt::ControlModifier, "txtSFile",
         [](GuiWorld& w) { return w.windows.openDialogs.size() == 1; }},
        {"Ctrl+Q", Qt::Key_Q, Qt::ControlModifier, "txtSFile",
         [](GuiWorld& w) { return w.windows.closeRequested; }},
        {"Return on Start", Qt::Key_Return, Qt::NoModifier, "cmdStart",
         [](GuiWorld& w) { return w.pellin.checkZCalls > 0; }},
        {"Return in the file box", Qt::Key_Return, Qt::NoModifier, "txtSFile",
         [](GuiWorld& w) { return w.pellin.checkZCalls > 0; }},
    };
    for (const Case& c : cases) {
        GuiWorld w;
        w.dir.Write("Pelhelp.html", "<html></html>");
        w.model->SetSFile(w.dir.Write("X.PLN", ":00000001FF\r\n"));
        w.pellin.checkZ = {0};
        w.windows.At(3, [&] { w.widget<QPushButton>("cmdStop")->click(); });
        w.view->Refresh();
        w.view->show();
        w.view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.view.get()));
        w.widget(c.focus)->setFocus();
        QTest::keyClick(w.widget(c.focus), c.key, c.modifiers);
        EXPECT_TRUE(c.happened(w)) << c.scenario;
    }
}

} // namespace
} // namespace kaprin::test
