// The main window's view: the frmMain form bound to the model. It copies the model's
// state into the widgets after every handler and at every pump, and forwards each
// widget event to exactly one handler of the model. The other windows are bound here
// too, because the main window's model owns theirs.
#pragma once

#include "kaprin/core/frm_main.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <exception>
#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class frmMain;
class frmLanguage;
class frmComm;
class frmAbout;
class frmSetting;
class frmDevices;
} // namespace Ui

namespace kaprin::gui {

class ChildDialog;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(FrmMain& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    FrmMain& model() { return model_; }

    // Model -> widgets, for every open window, and the timers.
    void Refresh();
    // Only the timers t1, t2 and the run's tick follow the model.
    void SyncTimers();

    // Runs one model handler, then refreshes; the close, when asked for, happens once
    // the outermost handler has returned.
    void Dispatch(const std::function<void()>& handler);
    int depth() const { return depth_; }
    // One tick of the run's poll timer.
    void RunTick();

    // The close box, "Exit" or a "-C" run: the model's close request, then the end, or,
    // during a transfer, the end once the transfer has ended (a second request: at once).
    void RequestClose();
    bool closePending() const { return closePending_; }
    bool finished() const { return finished_; }

    // Window services of the other windows.
    void ShowChild(WindowId id);
    void ShowChildModal(WindowId id);
    void DropChild(WindowId id);
    ChildDialog* child(WindowId id) const;

    // Called with the exception of a handler that failed unexpectedly.
    std::function<void(const std::exception&)> onHandlerFailure;

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Wire();
    void FinishClose();
    void Activated();
    ChildDialog* MakeChild(WindowId id);
    void RefreshMain();
    void RefreshChildren();
    void SyncTimer(QTimer& timer, const Timer& state);
    void DrawLogo();

    FrmMain& model_;
    std::unique_ptr<Ui::frmMain> ui_;
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QLabel* panel3_ = nullptr;
    QTimer t1_, t2_, tRun_, activateFallback_, serialWatch_;
    QElapsedTimer sinceRefresh_;
    int depth_ = 0;
    bool closePending_ = false;
    bool finished_ = false;
    bool activatedOnce_ = false;
    qreal logoRatio_ = 0;

    struct Children;
    std::unique_ptr<Children> children_;
};

} // namespace kaprin::gui
