// The real main window, offscreen, with the real libraries into scanner-sim: what the
// window does while a transfer runs.
#include "fakes.h"
#include "pln_image.h"
#include "scanner_sim_process.h"
#include "temp_dir.h"
#include "test_process.h"

#include "kaprin/core/frm_main.h"
#include "kaprin/core/library_binding.h"
#include "kaprin/gui/main_window.h"
#include "kaprin/gui/qt_window_services.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace kaprin::test {
namespace {

std::string ProgramDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

class WindowEndToEnd : public ::testing::Test {
protected:
    gui::QtWindowServices windows;
    gui::QtClock clock;
    MemoryStore store;
    PellinLibrary pellin{windows, ProgramDir()};
    KaldunLibrary kaldun{windows, ProgramDir()};
    FakeRecord record;
    TempDir dir;
    testsupport::ScannerSimProcess sim;
    std::unique_ptr<FrmMain> model;
    std::unique_ptr<gui::MainWindow> view;

    void SetUp() override {
        SKIP_WITHOUT_PSEUDO_TERMINAL();
        std::string error;
        ASSERT_TRUE(sim.Start({"--log", dir / "sim.log"}, error)) << error;
        testsupport::MapComPort(1, sim.SlavePath());
        model = std::make_unique<FrmMain>(Ports{windows, clock, store, pellin, kaldun, &record},
                                          ProgramDir(), "");
        model->Form_Load();
        model->mnuQuenlar.checked = false; // nobody answers a box offscreen
        testsupport::PlnLayout layout;
        layout.linesPerBank = 96;
        model->SetSFile(dir.Write("X.PLN", testsupport::MakePlnImage(layout)));
        view = std::make_unique<gui::MainWindow>(*model);
        windows.Attach(view.get());
        view->show();
    }
    void TearDown() override {
        if (view && !view->finished())
            view->close(); // a second request, should the first one wait
        windows.Attach(nullptr);
    }

    // Runs the window's event loop until `done` holds (false after 60 s).
    bool Until(const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 60000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }
    bool Transferring() {
        return Until([&] { return model->run.state() == RunState::Transfer; });
    }
    template <class W = QWidget> W* widget(const char* name) const {
        return view->findChild<W*>(name);
    }
    QString Panel3() const { return widget<QLabel>("SB1_Panel3")->text(); }
};

// A close during a transfer says it is finishing, lets the transfer end, then closes.
TEST_F(WindowEndToEnd, CloseFinishesTheTransferFirst) {
    widget<QPushButton>("cmdStart")->click();
    ASSERT_TRUE(Transferring());
    widget<QAction>("mnuExit")->trigger();
    EXPECT_FALSE(view->finished());
    EXPECT_TRUE(Panel3().startsWith("Finishing"));
    EXPECT_EQ(store.ReadSetting("Setup", "DTR"), "True"); // the options are saved at once
    ASSERT_TRUE(Until([&] { return view->finished(); }));
    ASSERT_EQ(record.records.size(), 1u);
    EXPECT_EQ(record.records[0].outcome, RecordOutcome::Ok);
}

// Nothing that chooses the image or the port can be used while a transfer runs.
TEST_F(WindowEndToEnd, ImageAndPortLockedDuringTheTransfer) {
    widget<QPushButton>("cmdStart")->click();
    ASSERT_TRUE(Transferring());
    for (const char* name : {"txtSFile", "cmdBorwse", "cmdStart", "Command4"})
        EXPECT_FALSE(widget(name)->isEnabled()) << name;
    for (const char* name : {"mnuComm", "mnuLogFile", "mnuRF1"})
        EXPECT_FALSE(widget<QAction>(name)->isEnabled()) << name;
    ASSERT_TRUE(Until([&] { return !model->run.Busy(); }));
    EXPECT_TRUE(widget("txtSFile")->isEnabled());
    EXPECT_TRUE(widget<QAction>("mnuComm")->isEnabled());
}

// The automatic mode switched off during its transfer: Start stays away until the
// transfer has ended, and the record's time is the transfer's.
TEST_F(WindowEndToEnd, AutoOffTakesEffectAtTheEnd) {
    widget<QAction>("mnuAutoQuenlar")->trigger();
    ASSERT_TRUE(Transferring());
    QElapsedTimer transfer;
    transfer.start();
    widget<QAction>("mnuAutoQuenlar")->trigger();
    EXPECT_FALSE(widget<QAction>("mnuAutoQuenlar")->isChecked());
    EXPECT_TRUE(widget("cmdStart")->isHidden());
    ASSERT_TRUE(Until([&] { return !model->run.TransferUnderWay(); }));
    EXPECT_TRUE(widget("cmdStart")->isVisible());
    EXPECT_TRUE(widget("cmdStart")->isEnabled());
    ASSERT_EQ(record.records.size(), 1u);
    EXPECT_LE(record.records[0].durationMs, static_cast<std::uint32_t>(transfer.elapsed()) + 1000);
}

// The last outcome stays on the window, with the session's counts.
TEST_F(WindowEndToEnd, OutcomeStaysVisible) {
    widget<QPushButton>("cmdStart")->click();
    ASSERT_TRUE(Until([&] { return !model->run.Busy(); }));
    QElapsedTimer later;
    later.start();
    Until([&] { return later.elapsed() > 1500; });
    EXPECT_EQ(Panel3(), "PASS  1 good, 0 failed");
}

} // namespace
} // namespace kaprin::test

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
