// A model on the fakes with its real Qt view, and a language file of known texts.
#pragma once

#include "fakes.h"
#include "kaprin/core/frm_main.h"
#include "kaprin/gui/main_window.h"
#include "kaprin/gui/qt_window_services.h"
#include "temp_dir.h"

#include <QApplication>
#include <QFileDialog>
#include <QWidget>

#include <memory>
#include <string>

namespace kaprin::test {

// The fake window services, but windows really open in the view and every pump
// refreshes it, as the Qt services do.
class ViewWindows : public FakeWindows {
public:
    using FakeWindows::FakeWindows;
    gui::MainWindow* view = nullptr;

    void ShowWindow(WindowId id) override {
        FakeWindows::ShowWindow(id);
        view->ShowChild(id);
    }
    void ShowModalWindow(WindowId id) override {
        // Shown without a nested loop; the script acts through onModal.
        view->ShowChild(id);
        FakeWindows::ShowModalWindow(id);
    }
    void CloseWindow(WindowId id) override {
        FakeWindows::CloseWindow(id);
        view->DropChild(id);
    }
    void DoEvents(int maxWaitMs) {
        view->Refresh();
        FakeWindows::DoEvents(maxWaitMs);
    }
};

// Writes programDir/Language/English.ini with short texts: "#<id> T<id>".
std::string WriteLanguage(const TempDir& dir);

struct GuiWorld {
    explicit GuiWorld(std::string commandLine = "");
    TempDir dir;
    CallLog log;
    FakeClock clock;
    MemoryStore store;
    ViewWindows windows{clock, &log};
    FakePellin pellin{&log};
    FakeKaldun kaldun{&log};
    FakeSerial serial;
    std::unique_ptr<FrmMain> model;
    std::unique_ptr<gui::MainWindow> view;

    template <class W = QWidget> W* widget(const char* name) const {
        return view->findChild<W*>(name);
    }
    // The window's part while the run is busy: a pump, then the run's tick.
    void Drive() {
        for (int n = 0; model->run.Busy() && n < 10000; ++n) {
            windows.DoEvents(kPollWaitMs);
            view->RunTick();
        }
    }
};

// The model on the fakes but with the Qt window services (real dialogs, real timers).
struct QtWorld {
    QtWorld();
    TempDir dir;
    gui::QtWindowServices windows;
    gui::QtClock clock;
    MemoryStore store;
    FakePellin pellin;
    FakeKaldun kaldun;
    std::unique_ptr<FrmMain> model;
    std::unique_ptr<gui::MainWindow> view;
};

// Runs `action` once a modal dialog other than `over` is up (file dialogs, message
// boxes). A dialog that does not come within `timeoutMs`, or that the action leaves
// open that long, fails the test and is rejected: a test waits, but never hangs.
void WhenModal(std::function<void(QWidget*)> action, const QWidget* over = nullptr,
               int timeoutMs = 10000);

// Chooses `path` in an open file dialog and accepts it.
void AcceptFile(QFileDialog* dialog, const std::string& path);

} // namespace kaprin::test
