#include "kaprin/gui/main_window.h"

#include "kaprin/gui/art/art.h"
#include "kaprin/gui/binding.h"
#include "kaprin/gui/child_dialog.h"
#include "kaprin/gui/lamp.h"
#include "kaprin/info/frm_about.h"
#include "kaprin/prefs/frm_comm.h"
#include "kaprin/prefs/frm_devices.h"
#include "kaprin/prefs/frm_language.h"
#include "kaprin/updateset/frm_setting.h"

#include "ui_frmAbout.h"
#include "ui_frmComm.h"
#include "ui_frmDevices.h"
#include "ui_frmLanguage.h"
#include "ui_frmMain.h"
#include "ui_frmSetting.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>

// The pictures live in a static library: its resources must be registered by hand.
static void InitKaprinResources() {
    Q_INIT_RESOURCE(kaprin);
}

namespace kaprin::gui {

namespace {

// The window's width is not fixed by the program; this one fits the controls.
constexpr int kWidthPixels = 480;
// Platforms without a window manager never activate a window; the first activation is
// then taken to be this long after the window was shown.
constexpr int kActivateFallbackMs = 1000;
// The widgets follow a polling run at most this often.
constexpr int kRefreshEveryMs = 20;

template <class Widget, std::size_t N>
std::array<Widget*, N> Find(QWidget* root, const char* prefix) {
    std::array<Widget*, N> found{};
    for (std::size_t i = 0; i < N; ++i)
        found[i] = root->findChild<Widget*>(QString("%1_%2").arg(prefix).arg(i));
    return found;
}

} // namespace

struct MainWindow::Children {
    QPointer<ChildDialog> dialogs[5];
    std::unique_ptr<Ui::frmLanguage> language;
    std::unique_ptr<Ui::frmComm> comm;
    std::unique_ptr<Ui::frmAbout> about;
    std::unique_ptr<Ui::frmSetting> setting;
    std::unique_ptr<Ui::frmDevices> devices;
    std::array<QComboBox*, 5> combo{};
    std::array<QLabel*, 5> commLabel{};
    std::array<QLabel*, 6> slotLabel{};
    std::array<QLineEdit*, 6> txtFile{};
    std::array<QPushButton*, 6> cmdBrowse{};

    QPointer<ChildDialog>& operator[](WindowId id) { return dialogs[static_cast<int>(id)]; }
};

MainWindow::MainWindow(FrmMain& model, QWidget* parent)
    : QMainWindow(parent), model_(model), ui_(std::make_unique<Ui::frmMain>()),
      children_(std::make_unique<Children>()) {
    InitKaprinResources();
    ui_->setupUi(this);
    // The two panels of SB1: the status text, wide, and the percentage, narrow.
    panel1_ = new QLabel(ui_->SB1);
    panel1_->setObjectName("SB1_Panel1");
    panel2_ = new QLabel(ui_->SB1);
    panel2_->setObjectName("SB1_Panel2");
    panel2_->setMinimumWidth(56);
    panel2_->setAlignment(Qt::AlignCenter);
    // The third: the last transfer's pass/fail mark and the session's counts.
    panel3_ = new QLabel(ui_->SB1);
    panel3_->setObjectName("SB1_Panel3");
    ui_->SB1->addWidget(panel1_, 1);
    ui_->SB1->addPermanentWidget(panel2_);
    ui_->SB1->addPermanentWidget(panel3_);
    ui_->cboDelay->setCompleter(nullptr);
    // Children of the window, so that they are found by name like the controls.
    t1_.setParent(this);
    t2_.setParent(this);
    tRun_.setParent(this);
    t1_.setObjectName("t1");
    t2_.setObjectName("t2");
    tRun_.setObjectName("tRun");
    t1_.setTimerType(Qt::PreciseTimer);
    t2_.setTimerType(Qt::PreciseTimer);
    tRun_.setTimerType(Qt::PreciseTimer);
    activateFallback_.setSingleShot(true);
    setWindowIcon(QIcon(":/kaprin/kaprin.png"));
    DrawLogo();
    Wire();
    Refresh();
}

MainWindow::~MainWindow() {
    for (auto& dialog : children_->dialogs)
        delete dialog.data();
}

void MainWindow::Wire() {
    FrmMain& m = model_;
    auto on = [this](auto* sender, auto signal, std::function<void()> handler) {
        connect(sender, signal, this, [this, handler] { Dispatch(handler); });
    };

    connect(ui_->txtSFile, &QLineEdit::textEdited, this, [this, &m](const QString& text) {
        m.txtSFile.text = S(text);
        Dispatch([&m] { m.txtSFile_Change(); });
    });
    on(ui_->cmdBorwse, &QPushButton::clicked, [&m] { m.cmdBorwse_Click(); });
    on(ui_->cmdStart, &QPushButton::clicked, [&m] { m.cmdStart_Click(); });
    on(ui_->cmdStop, &QPushButton::clicked, [&m] { m.cmdStop_Click(); });
    connect(ui_->optFont, &QRadioButton::toggled, this, [&m](bool on) { m.optFont.checked = on; });
    connect(ui_->cboDelay, qOverload<int>(&QComboBox::activated), this,
            [this, &m](int index) { Dispatch([&m, index] { m.cboDelay_Select(index); }); });
    connect(ui_->cboDelay->lineEdit(), &QLineEdit::textEdited, this, [this, &m](const QString& t) {
        Dispatch([&m, text = S(t)] { m.cboDelay_Type(text); });
    });
    connect(ui_->List1, &QListWidget::currentRowChanged, this,
            [this, &m](int row) { Dispatch([&m, row] { m.List1_Click(row); }); });
    const auto steps = Find<QPushButton, 6>(ui_->Frame3, "cmdStep");
    for (int i = 0; i < 6; ++i)
        on(steps[static_cast<std::size_t>(i)], &QPushButton::clicked,
           [&m, i] { m.cmdStep_Click(i); });
    on(ui_->Command4, &QPushButton::clicked, [&m] { m.Command4_Click(); });
    connect(ui_->txtCStatus, &QLineEdit::textEdited, this,
            [&m](const QString& text) { m.txtCStatus.text = S(text); });

    const std::array<QAction*, 4> recent{ui_->mnuRF1, ui_->mnuRF2, ui_->mnuRF3, ui_->mnuRF4};
    for (int i = 0; i < 4; ++i)
        on(recent[static_cast<std::size_t>(i)], &QAction::triggered, [&m, i] { m.mnuRF_Click(i); });
    on(ui_->mnuExit, &QAction::triggered, [&m] { m.mnuExit_Click(); });
    on(ui_->mnuLanguage, &QAction::triggered, [&m] { m.mnuLanguage_Click(); });
    on(ui_->mnuComm, &QAction::triggered, [&m] { m.mnuComm_Click(); });
    on(ui_->mnuDevices, &QAction::triggered, [&m] { m.mnuDevices_Click(); });
    on(ui_->mnuLogFile, &QAction::triggered, [&m] { m.mnuLogFile_Click(); });
    on(ui_->mnuEMode, &QAction::triggered, [&m] { m.mnuEMode_Click(); });
    on(ui_->mnuDTR, &QAction::triggered, [&m] { m.mnuDTR_Click(); });
    on(ui_->mnuRTS, &QAction::triggered, [&m] { m.mnuRTS_Click(); });
    on(ui_->mnuCheck, &QAction::triggered, [&m] { m.mnuCheck_Click(); });
    on(ui_->mnuConvert, &QAction::triggered, [&m] { m.mnuConvert_Click(); });
    on(ui_->mnuQuenlar, &QAction::triggered, [&m] { m.mnuQuenlar_Click(); });
    on(ui_->mnuAutoQuenlar, &QAction::triggered, [&m] { m.mnuAutoQuenlar_Click(); });
    on(ui_->mnuBotStart, &QAction::triggered, [&m] { m.mnuBotStart_Click(); });
    on(ui_->mnuBotShutDown, &QAction::triggered, [&m] { m.mnuBotShutDown_Click(); });
    on(ui_->mnuAbout_, &QAction::triggered, [&m] { m.mnuAbout__Click(); });
    on(ui_->mnuHelp, &QAction::triggered, [&m] { m.mnuHelp_Click(); });
    // Engineer Mode is hidden from start-up on; this shortcut shows its menu item.
    auto* engineer = new QShortcut(QKeySequence("Ctrl+Shift+E"), this);
    engineer->setObjectName("EngineerShortcut");
    on(engineer, &QShortcut::activated, [&m] { m.ShowEngineerMenu(); });

    // The usual keys, beside the captions rather than in them. Return presses the focused
    // button; anywhere else in the window it presses Start (see keyPressEvent).
    ui_->mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
    ui_->mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    auto* browse = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    browse->setObjectName("BrowseShortcut");
    connect(browse, &QShortcut::activated, ui_->cmdBorwse, [this] {
        if (ui_->cmdBorwse->isEnabled() && ui_->cmdBorwse->isVisible())
            ui_->cmdBorwse->click();
    });
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
    // The full path of a recent file shows as the tip of its entry.
    ui_->mnufile->setToolTipsVisible(true);

    // A tick that was due before the model switched its timer off is not delivered.
    connect(&t1_, &QTimer::timeout, this, [this, &m] {
        if (m.t1.enabled)
            Dispatch([&m] { m.t1_Timer(); });
    });
    connect(&t2_, &QTimer::timeout, this, [this, &m] {
        if (m.t2.enabled)
            Dispatch([&m] { m.t2_Timer(); });
    });
    // The run polls every few milliseconds; the widgets follow at most at the pace a
    // screen shows them, and at once when the run's state changes.
    connect(&tRun_, &QTimer::timeout, this, [this] { RunTick(); });
    // Serial devices coming and going reach the open windows within a quarter second.
    serialWatch_.setInterval(250);
    connect(&serialWatch_, &QTimer::timeout, this, [this, &m] {
        if (!finished_)
            Dispatch([&m] { m.SerialWatch_Timer(); });
    });
    serialWatch_.start();
    connect(&activateFallback_, &QTimer::timeout, this, [this] {
        if (!activatedOnce_)
            Activated();
    });
}

void MainWindow::Dispatch(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (const std::exception& failure) {
        --depth_;
        if (onHandlerFailure)
            onHandlerFailure(failure);
        throw;
    }
    --depth_;
    if (finished_)
        return;
    Refresh();
    if (depth_ == 0 && (closePending_ || model_.run.CloseDue()))
        FinishClose();
}

void MainWindow::RunTick() {
    FrmMain& m = model_;
    if (!m.run.tick.enabled || finished_)
        return;
    const auto before = m.run.changes();
    ++depth_;
    m.tRun_Timer();
    --depth_;
    // The run polls every few milliseconds; the widgets follow at once when its state
    // changes, and a transfer's progress at most at the pace a screen shows it. A wait
    // shows nothing new between its polls.
    if (before != m.run.changes() ||
        (m.run.state() == RunState::Transfer &&
         (!sinceRefresh_.isValid() || sinceRefresh_.elapsed() >= kRefreshEveryMs)))
        Refresh();
    else
        SyncTimers();
    if (depth_ == 0 && (closePending_ || m.run.CloseDue()))
        FinishClose();
}

void MainWindow::RequestClose() {
    if (finished_)
        return;
    closePending_ = true;
    if (depth_ == 0)
        FinishClose();
}

void MainWindow::FinishClose() {
    // A request asks the run; the end that it waited for needs no second question.
    const bool asked = closePending_;
    closePending_ = false;
    if (asked && !model_.run.RequestClose()) {
        Refresh(); // the window says it is finishing the download
        return;
    }
    if (!asked && !model_.run.CloseDue())
        return;
    finished_ = true;
    t1_.stop();
    t2_.stop();
    tRun_.stop();
    for (auto& dialog : children_->dialogs) {
        if (dialog)
            dialog->Drop();
    }
    QMainWindow::close();
    Q_EMIT closed();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    // The model decides; the window goes once its close request has run.
    event->ignore();
    RequestClose();
}

void MainWindow::DrawLogo() {
    const qreal ratio = ui_->Image1->devicePixelRatioF();
    if (ratio == logoRatio_)
        return;
    logoRatio_ = ratio;
    ui_->Image1->setPixmap(QPixmap::fromImage(DrawIcon(ui_->Image1->width(), ratio)));
}

void MainWindow::showEvent(QShowEvent* event) {
    // Shown on a screen of another scale than the one it was drawn for: drawn again.
    DrawLogo();
    QMainWindow::showEvent(event);
    if (!activatedOnce_)
        activateFallback_.start(kActivateFallbackMs);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Only the Return that no control took comes here: Start is the window's default button.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        ui_->cmdStart->isDefault() && ui_->cmdStart->isEnabled() && ui_->cmdStart->isVisible()) {
        ui_->cmdStart->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Activated();
}

void MainWindow::Activated() {
    activatedOnce_ = true;
    activateFallback_.stop();
    if (!finished_)
        Dispatch([this] { model_.Form_Activate(); });
}

void MainWindow::SyncTimer(QTimer& timer, const Timer& state) {
    if (timer.interval() != state.intervalMs)
        timer.setInterval(state.intervalMs);
    if (state.enabled && !timer.isActive())
        timer.start();
    else if (!state.enabled && timer.isActive())
        timer.stop();
}

void MainWindow::Refresh() {
    sinceRefresh_.start();
    RefreshMain();
    RefreshChildren();
}

void MainWindow::SyncTimers() {
    SyncTimer(t1_, model_.t1);
    SyncTimer(t2_, model_.t2);
    SyncTimer(tRun_, model_.run.tick);
}

void MainWindow::RefreshMain() {
    const FrmMain& m = model_;
    if (windowTitle() != Q(m.Caption))
        setWindowTitle(Q(m.Caption));

    Bind(ui_->txtSFile, m.txtSFile);
    Bind(ui_->cmdBorwse, m.cmdBorwse);
    Bind(ui_->optFont, m.optFont);
    Bind(ui_->cmdStart, m.cmdStart);
    if (ui_->cmdStart->isDefault() != m.cmdStart.enabled)
        ui_->cmdStart->setDefault(m.cmdStart.enabled);
    Bind(ui_->cmdStop, m.cmdStop);
    Bind(ui_->cboDelay, m.cboDelay);
    Bind(ui_->lblPort, m.lblPort);
    Bind(ui_->sDTR, m.sDTR);
    Bind(ui_->sRTS, m.sRTS);
    const auto labels = Find<QLabel, 5>(ui_->Frame1, "Label1");
    for (std::size_t i = 0; i < labels.size(); ++i)
        Bind(labels[i], m.Label1[i]);
    Bind(ui_->List1, m.List1);
    const auto lamps = Find<Lamp, 16>(ui_->Frame2, "Shape1");
    for (std::size_t i = 0; i < lamps.size(); ++i)
        Bind(lamps[i], m.Shape1[i]);
    Bind(ui_->PB1, m.PB1);
    SetText(panel1_, m.SB1.panel1);
    SetText(panel2_, m.SB1.panel2);
    Bind(panel3_, Control{m.SB1.panel3, true, true, false, m.SB1.panel3Colour});
    Bind(ui_->Frame1, m.Frame1);
    Bind(ui_->Frame2, m.Frame2);
    SetVisible(ui_->Frame3, m.Frame3.visible);
    const auto steps = Find<QPushButton, 6>(ui_->Frame3, "cmdStep");
    for (std::size_t i = 0; i < steps.size(); ++i)
        Bind(steps[i], m.cmdStep[i]);
    Bind(ui_->Command4, m.Command4);
    Bind(ui_->txtCStatus, m.txtCStatus);
    Bind(ui_->Label2, m.Label2);

    // The height follows the update-set panel; the bar moves below it.
    const int height = TwipsToPixels(m.HeightTwips);
    if (minimumSize() != QSize(kWidthPixels, height) || maximumSize() != minimumSize())
        setFixedSize(kWidthPixels, height);
    const int barTop = TwipsToPixels(m.PB1TopTwips);
    if (ui_->PB1->y() != barTop)
        ui_->PB1->move(ui_->PB1->x(), barTop);

    Bind(ui_->mnufile, m.mnufile);
    Bind(ui_->mnuLine1, m.mnuLine1);
    const std::array<QAction*, 4> recent{ui_->mnuRF1, ui_->mnuRF2, ui_->mnuRF3, ui_->mnuRF4};
    for (std::size_t i = 0; i < recent.size(); ++i)
        Bind(recent[i], m.mnuRF[i], true);
    Bind(ui_->mnuLine2, m.mnuLine2);
    Bind(ui_->mnuExit, m.mnuExit);
    Bind(ui_->mnuSetup, m.mnuSetup);
    Bind(ui_->mnuLanguage, m.mnuLanguage);
    Bind(ui_->mnuComm, m.mnuComm);
    Bind(ui_->mnuDevices, m.mnuDevices);
    Bind(ui_->mnuLogFile, m.mnuLogFile);
    Bind(ui_->mnuEMode, m.mnuEMode);
    Bind(ui_->mnuDTR, m.mnuDTR);
    Bind(ui_->mnuRTS, m.mnuRTS);
    Bind(ui_->mnuCheck, m.mnuCheck);
    Bind(ui_->mnuConvert, m.mnuConvert);
    Bind(ui_->mnuQuenlar, m.mnuQuenlar);
    Bind(ui_->mnuAutoQuenlar, m.mnuAutoQuenlar);
    Bind(ui_->mnuBotStart, m.mnuBotStart);
    Bind(ui_->mnuBotShutDown, m.mnuBotShutDown);
    Bind(ui_->mnuAbout, m.mnuAbout);
    Bind(ui_->mnuAbout_, m.mnuAbout_);
    Bind(ui_->mnuHelp, m.mnuHelp);

    SyncTimers();
}

void MainWindow::RefreshChildren() {
    Children& c = *children_;
    auto sync = [this, &c](WindowId id, bool modelExists) {
        if (c[id] && !modelExists)
            DropChild(id);
        return c[id] != nullptr;
    };
    auto title = [](ChildDialog* dialog, const std::string& caption) {
        if (dialog->windowTitle() != Q(caption))
            dialog->setWindowTitle(Q(caption));
    };

    if (sync(WindowId::frmLanguage, model_.frmLanguage != nullptr)) {
        const FrmLanguage& w = *model_.frmLanguage;
        title(c[WindowId::frmLanguage], w.Caption);
        Bind(c.language->File1, w.File1);
    }
    if (sync(WindowId::frmComm, model_.frmComm != nullptr)) {
        const FrmComm& w = *model_.frmComm;
        title(c[WindowId::frmComm], w.Caption);
        for (std::size_t k = 0; k < 5; ++k) {
            Bind(c.combo[k], w.Combo1[k]);
            Bind(c.commLabel[k], w.Label1[k]);
        }
        Bind(c.comm->Command1, w.Command1);
        Bind(c.comm->Command2, w.Command2);
        Bind(c.comm->lblDevice, w.lblDevice);
        Bind(c.comm->cmdDevices, w.cmdDevices);
    }
    if (sync(WindowId::frmDevices, model_.frmDevices != nullptr)) {
        const FrmDevices& w = *model_.frmDevices;
        title(c[WindowId::frmDevices], w.Caption);
        Bind(c.devices->lblPorts, w.lblPorts);
        Bind(c.devices->lblDetected, w.lblDetected);
        Bind(c.devices->lblPath, w.lblPath);
        Bind(c.devices->tblPorts, w.tblPorts);
        Bind(c.devices->tblDevices, w.tblDevices);
        Bind(c.devices->txtPath, w.txtPath);
        Bind(c.devices->lblStatus, w.lblStatus);
        Bind(c.devices->cmdAssign, w.cmdAssign);
        Bind(c.devices->cmdClear, w.cmdClear);
        Bind(c.devices->cmdRefresh, w.cmdRefresh);
        Bind(c.devices->cmdClose, w.cmdClose);
    }
    if (sync(WindowId::frmAbout, model_.frmAbout != nullptr)) {
        const FrmAbout& w = *model_.frmAbout;
        title(c[WindowId::frmAbout], w.Caption);
        Bind(c.about->Label1, w.Label1);
        Bind(c.about->Label2, w.Label2);
        Bind(c.about->cmdOK, w.cmdOK);
    }
    if (sync(WindowId::frmSetting, model_.frmSetting != nullptr)) {
        const FrmSetting& w = *model_.frmSetting;
        title(c[WindowId::frmSetting], w.Caption);
        for (std::size_t k = 0; k < 6; ++k) {
            Bind(c.slotLabel[k], w.Label1[k]);
            Bind(c.txtFile[k], w.txtFile[k]);
            Bind(c.cmdBrowse[k], w.cmdBrowse[k]);
        }
        Bind(c.setting->cmdLoad, w.cmdLoad);
        Bind(c.setting->cmdSave, w.cmdSave);
        Bind(c.setting->OKButton, w.OKButton);
        Bind(c.setting->CancelButton, w.CancelButton);
    }
}

ChildDialog* MainWindow::child(WindowId id) const {
    return (*children_)[id];
}

ChildDialog* MainWindow::MakeChild(WindowId id) {
    Children& c = *children_;
    FrmMain& m = model_;
    auto* dialog = new ChildDialog(id, this);
    dialog->setWindowIcon(windowIcon());
    auto on = [this](auto* sender, auto signal, std::function<void()> handler) {
        connect(sender, signal, this, [this, handler] { Dispatch(handler); });
    };
    // Each handler finds the window's model afresh: it may be gone by then.
    switch (id) {
    case WindowId::frmLanguage:
        c.language = std::make_unique<Ui::frmLanguage>();
        c.language->setupUi(dialog);
        connect(c.language->File1, &QListWidget::currentRowChanged, this, [this, &m](int row) {
            Dispatch([&m, row] {
                if (m.frmLanguage)
                    m.frmLanguage->File1_Click(row);
            });
        });
        break;
    case WindowId::frmComm:
        c.comm = std::make_unique<Ui::frmComm>();
        c.comm->setupUi(dialog);
        c.combo = Find<QComboBox, 5>(dialog, "Combo1");
        c.commLabel = Find<QLabel, 5>(dialog, "Label1");
        for (std::size_t k = 0; k < 5; ++k) {
            c.combo[k]->setCompleter(nullptr);
            const int index = static_cast<int>(k);
            connect(c.combo[k], qOverload<int>(&QComboBox::activated), this,
                    [this, &m, index](int i) {
                        Dispatch([&m, index, i] {
                            if (m.frmComm)
                                m.frmComm->Combo1_Select(index, i);
                        });
                    });
            connect(c.combo[k]->lineEdit(), &QLineEdit::textEdited, this,
                    [this, &m, index](const QString& text) {
                        Dispatch([&m, index, t = S(text)] {
                            if (m.frmComm)
                                m.frmComm->Combo1_Type(index, t);
                        });
                    });
        }
        on(c.comm->cmdDevices, &QPushButton::clicked, [&m] {
            if (m.frmComm)
                m.frmComm->cmdDevices_Click();
        });
        on(c.comm->Command1, &QPushButton::clicked, [&m] {
            if (m.frmComm)
                m.frmComm->Command1_Click();
        });
        on(c.comm->Command2, &QPushButton::clicked, [&m] {
            if (m.frmComm)
                m.frmComm->Command2_Click();
        });
        break;
    case WindowId::frmAbout: {
        c.about = std::make_unique<Ui::frmAbout>();
        c.about->setupUi(dialog);
        c.about->Image1->setPixmap(
            QPixmap::fromImage(DrawAbout(c.about->Image1->devicePixelRatioF())));
        QFont fixed = c.about->Label2->font();
        fixed.setStyleHint(QFont::TypeWriter);
        c.about->Label2->setFont(fixed);
        on(c.about->cmdOK, &QPushButton::clicked, [&m] {
            if (m.frmAbout)
                m.frmAbout->cmdOK_Click();
        });
        break;
    }
    case WindowId::frmDevices: {
        c.devices = std::make_unique<Ui::frmDevices>();
        c.devices->setupUi(dialog);
        Ui::frmDevices& d = *c.devices;
        connect(d.tblPorts, &QTableWidget::currentCellChanged, this, [this, &m](int row) {
            Dispatch([&m, row] {
                if (m.frmDevices)
                    m.frmDevices->tblPorts_Click(row);
            });
        });
        connect(d.tblDevices, &QTableWidget::currentCellChanged, this, [this, &m](int row) {
            Dispatch([&m, row] {
                if (m.frmDevices)
                    m.frmDevices->tblDevices_Click(row);
            });
        });
        connect(d.txtPath, &QLineEdit::textEdited, this, [&m](const QString& text) {
            if (m.frmDevices)
                m.frmDevices->txtPath_Change(S(text));
        });
        on(d.cmdAssign, &QPushButton::clicked, [&m] {
            if (m.frmDevices)
                m.frmDevices->cmdAssign_Click();
        });
        on(d.cmdClear, &QPushButton::clicked, [&m] {
            if (m.frmDevices)
                m.frmDevices->cmdClear_Click();
        });
        on(d.cmdRefresh, &QPushButton::clicked, [&m] {
            if (m.frmDevices)
                m.frmDevices->cmdRefresh_Click();
        });
        on(d.cmdClose, &QPushButton::clicked, [&m] {
            if (m.frmDevices)
                m.frmDevices->cmdClose_Click();
        });
        break;
    }
    case WindowId::frmSetting:
        c.setting = std::make_unique<Ui::frmSetting>();
        c.setting->setupUi(dialog);
        c.slotLabel = Find<QLabel, 6>(dialog, "Label1");
        c.txtFile = Find<QLineEdit, 6>(dialog, "txtFile");
        c.cmdBrowse = Find<QPushButton, 6>(dialog, "cmdBrowse");
        for (std::size_t k = 0; k < 6; ++k) {
            connect(c.txtFile[k], &QLineEdit::textEdited, this, [&m, k](const QString& text) {
                if (m.frmSetting)
                    m.frmSetting->txtFile[k].text = S(text);
            });
            on(c.cmdBrowse[k], &QPushButton::clicked, [&m, k] {
                if (m.frmSetting)
                    m.frmSetting->cmdBrowse_Click(static_cast<int>(k));
            });
        }
        on(c.setting->cmdLoad, &QPushButton::clicked, [&m] {
            if (m.frmSetting)
                m.frmSetting->cmdLoad_Click();
        });
        on(c.setting->cmdSave, &QPushButton::clicked, [&m] {
            if (m.frmSetting)
                m.frmSetting->cmdSave_Click();
        });
        on(c.setting->OKButton, &QPushButton::clicked, [&m] {
            if (m.frmSetting)
                m.frmSetting->OKButton_Click();
        });
        on(c.setting->CancelButton, &QPushButton::clicked, [&m] {
            if (m.frmSetting)
                m.frmSetting->CancelButton_Click();
        });
        break;
    }
    connect(dialog, &ChildDialog::frameClosed, this, [this, &m](WindowId closedId) {
        Dispatch([&m, closedId] { m.ChildWindow_Closed(closedId); });
        DropChild(closedId);
    });
    c[id] = dialog;
    return dialog;
}

void MainWindow::ShowChild(WindowId id) {
    ChildDialog* dialog = child(id);
    if (!dialog)
        dialog = MakeChild(id);
    Refresh();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void MainWindow::ShowChildModal(WindowId id) {
    ChildDialog* dialog = child(id);
    if (!dialog)
        dialog = MakeChild(id);
    Refresh();
    dialog->setModal(true);
    QPointer<ChildDialog> guard(dialog);
    dialog->exec();
    if (guard)
        DropChild(id);
}

void MainWindow::DropChild(WindowId id) {
    QPointer<ChildDialog>& dialog = (*children_)[id];
    if (!dialog)
        return;
    ChildDialog* gone = dialog;
    dialog = nullptr;
    gone->Drop();
    gone->deleteLater();
}

} // namespace kaprin::gui
