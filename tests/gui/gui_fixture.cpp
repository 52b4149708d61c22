#include "gui_fixture.h"

#include "kaprin/gui/frame_style.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

namespace kaprin::test {

std::string WriteLanguage(const TempDir& dir) {
    std::string text = "English for the tests\r\n";
    for (int id : {1000, 1100, 1101, 1110, 1111, 1120, 1121, 1122, 1200, 1201, 1202, 1204, 1205,
                   1206, 1207}) {
        text += "#" + std::to_string(id) + " T" + std::to_string(id) + "\r\n";
    }
    for (int id = 1300; id <= 1330; ++id)
        text += "#" + std::to_string(id) + " T" + std::to_string(id) + "\r\n";
    return dir.Write("Language/English.ini", text);
}

GuiWorld::GuiWorld(std::string commandLine) {
    WriteLanguage(dir);
    model =
        std::make_unique<FrmMain>(Ports{windows, clock, store, pellin, kaldun, nullptr, &serial},
                                  dir.path().string(), std::move(commandLine));
    view = std::make_unique<gui::MainWindow>(*model);
    windows.view = view.get();
    view->Dispatch([this] { model->Form_Load(); });
}

QtWorld::QtWorld() {
    WriteLanguage(dir);
    model = std::make_unique<FrmMain>(Ports{windows, clock, store, pellin, kaldun},
                                      dir.path().string(), "");
    view = std::make_unique<gui::MainWindow>(*model);
    windows.Attach(view.get());
    view->Dispatch([this] { model->Form_Load(); });
}

namespace {

void Reject(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace

void WhenModal(std::function<void(QWidget*)> action, const QWidget* over, int timeoutMs) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [poll, action, over, timeoutMs, waited] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == over)
            modal = nullptr; // the window the wanted dialog opens over
        if (!modal && waited->elapsed() < timeoutMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (!modal) {
            ADD_FAILURE() << "no modal dialog came within " << timeoutMs << " ms";
            if (QWidget* stuck = QApplication::activeModalWidget())
                Reject(stuck);
            return;
        }
        // An action that fails before it closes the dialog must not leave it waiting.
        QPointer<QWidget> handled(modal);
        QTimer::singleShot(timeoutMs, [handled, timeoutMs] {
            if (handled && handled->isVisible()) {
                ADD_FAILURE() << "a modal dialog was still open after " << timeoutMs << " ms";
                Reject(handled);
            }
        });
        action(modal);
    });
    poll->start();
}

void AcceptFile(QFileDialog* dialog, const std::string& path) {
    // The dialog leaves a focused file name box as it is: its text would be accepted.
    if (QWidget* focused = dialog->focusWidget())
        focused->clearFocus();
    dialog->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
}

} // namespace kaprin::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(new kaprin::gui::FrameStyle); // as the program does
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
