// The Qt window services: dialogs with the model's filters, modeless windows brought
// forward, message boxes, and the close that unwinds a running wait.
#include "gui_fixture.h"

#include "kaprin/gui/child_dialog.h"
#include "kaprin/gui/file_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace kaprin::test {
namespace {

TEST(FileDialogs, FilterTextsBecomeNameFilters) {
    struct Case {
        std::string filter;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"PLN File|*.PLN|HEX File|*.HEX;*.H00;*.HEC",
         {"PLN File (*.PLN)", "HEX File (*.HEX *.H00 *.HEC)"}},
        {"更新檔|*.PLN", {"更新檔 (*.PLN)"}},
        {"紀錄檔|*.SAV", {"紀錄檔 (*.SAV)"}},
        {"", {}},
        {"All", {"All (*)"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gui::NameFilters(c.filter), c.expected) << c.filter;
}

// The main window's Browse: its filters, the folder of the current file, and the
// chosen path into the file box.
TEST(FileDialogs, BrowseOpensTheChooserWithTheModelsRequest) {
    QtWorld w;
    const std::string current = w.dir.Write("fw/old.PLN", "x");
    const std::string wanted = w.dir.Write("fw/new.HEX", "x");
    w.model->SetSFile(current);
    QStringList filters;
    QString folder;
    bool open = false;
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        folder = dialog->directory().absolutePath();
        open = dialog->acceptMode() == QFileDialog::AcceptOpen;
        AcceptFile(dialog, wanted);
    });
    w.view->findChild<QPushButton*>("cmdBorwse")->click();
    EXPECT_EQ(filters, QStringList({"PLN File (*.PLN)", "HEX File (*.HEX *.H00 *.HEC)"}));
    EXPECT_EQ(folder.toStdString(), (w.dir.path() / "fw").string());
    EXPECT_TRUE(open);
    EXPECT_EQ(w.view->findChild<QLineEdit*>("txtSFile")->text().toStdString(), wanted);
}

// The record file's Save dialog: a save dialog with the .SAV filter and suffix.
TEST(FileDialogs, SaveDialogOfTheRecordFile) {
    QtWorld w;
    FileDialog request{"紀錄檔|*.SAV", w.dir.path().string(), ""};
    QFileDialog dialog;
    gui::Configure(dialog, request, gui::DialogKind::Save);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.nameFilters(), QStringList({"紀錄檔 (*.SAV)"}));
    EXPECT_EQ(dialog.defaultSuffix(), "SAV");
    EXPECT_EQ(dialog.directory().absolutePath().toStdString(), w.dir.path().string());

    // A cancelled dialog gives nothing.
    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_FALSE(w.windows.ChooseSaveFile(request).has_value());
}

// A modeless window opened twice is the same window, brought forward.
TEST(Services, ModelessWindowOpenedTwiceIsBroughtForward) {
    QtWorld w;
    w.view->show();
    auto* about = w.view->findChild<QAction*>("mnuAbout_");
    about->trigger();
    QPointer<gui::ChildDialog> first = w.view->child(WindowId::frmAbout);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());

    w.view->activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), w.view.get());
    about->trigger();
    QApplication::processEvents();
    EXPECT_EQ(w.view->child(WindowId::frmAbout), first.data());
    EXPECT_EQ(QApplication::activeWindow(), first.data());
    EXPECT_EQ(w.view->findChildren<gui::ChildDialog*>().size(), 1);

    first->findChild<QPushButton*>("cmdOK")->click();
    EXPECT_EQ(w.model->frmAbout, nullptr);
    EXPECT_EQ(w.view->child(WindowId::frmAbout), nullptr);
}

// Questions are Yes/No boxes titled Kaprin with the question icon.
TEST(Services, YesNoBoxTitledKaprin) {
    QtWorld w;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(w.windows.AskYesNo("Send it?"));
    EXPECT_EQ(title, "Kaprin");
    EXPECT_EQ(text, "Send it?");
    EXPECT_EQ(icon, QMessageBox::Question);
}

// A message box carries the icon of what it tells; when no viewer can show the help, a
// box says so and names the page.
TEST(Services, MessageBoxIcons) {
    QtWorld w;
    const std::string page = w.dir.Write("Pelhelp.html", "<html></html>");
    w.dir.Write("failing/xdg-open", "#!/bin/sh\nexit 3\n");
    std::filesystem::permissions(w.dir / "failing/xdg-open", std::filesystem::perms::owner_all);
    std::filesystem::create_directory(w.dir / "empty");
    struct Case {
        const char* scenario;
        std::function<void()> show;
        QMessageBox::Icon icon;
        std::string text; // a part of the box's text
    };
    auto helpWithPath = [&](const std::string& path) {
        return [&w, &page, path] {
            const QByteArray saved = qgetenv("PATH");
            qputenv("PATH", QByteArray::fromStdString(path));
            w.windows.OpenHelp(page);
            qputenv("PATH", saved);
        };
    };
    const std::vector<Case> cases = {
        {"failure", [&] { w.windows.ShowMessage("Too many", MessageKind::Warning); },
         QMessageBox::Warning, "Too many"},
        {"fatal", [&] { w.windows.ShowMessage("Broken", MessageKind::Critical); },
         QMessageBox::Critical, "Broken"},
        {"viewer fails", helpWithPath(w.dir / "failing"), QMessageBox::Information, page},
        {"no opener", helpWithPath(w.dir / "empty"), QMessageBox::Information, page},
    };
    for (const Case& c : cases) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        bool shown = false;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            icon = box->icon();
            text = box->text();
            shown = true;
            box->accept();
        });
        c.show();
        // The help's box comes once the opener has ended.
        QElapsedTimer waited;
        waited.start();
        while (!shown && waited.elapsed() < 10000) {
            QEventLoop idle;
            QTimer::singleShot(10, &idle, &QEventLoop::quit);
            idle.exec();
        }
        EXPECT_EQ(icon, c.icon) << c.scenario;
        EXPECT_TRUE(text.contains(QString::fromStdString(c.text)))
            << c.scenario << ": " << text.toStdString();
    }
}

// Waiting for a device is the run's timer, not a loop: the window handles a click
// meanwhile, and the wait takes little CPU.
TEST(Services, DeviceWaitWithoutBurningTheProcessor) {
    QtWorld w;
    w.model->SetSFile(w.dir.Write("X.PLN", ":00000001FF\r\n"));
    w.pellin.checkZ = {0};
    w.view->findChild<QPushButton*>("cmdStart")->click();
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    QEventLoop waiting;
    QTimer::singleShot(300, &waiting, &QEventLoop::quit);
    waiting.exec();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    w.view->findChild<QPushButton*>("cmdStop")->click();
    EXPECT_FALSE(w.model->run.Busy());
    EXPECT_GT(w.pellin.checkZCalls, 10);
    EXPECT_LT(cpuMs, 0.25 * static_cast<double>(wall.elapsed())) << cpuMs << " ms of CPU";
}

// "Exit" while Start waits for a device: the wait is left, the options are saved and
// the window is finished.
TEST(Services, ExitDuringTheDeviceWaitEndsTheRun) {
    QtWorld w;
    w.model->SetSFile(w.dir.Write("X.PLN", ":00000001FF\r\n"));
    w.pellin.checkZ = {0};
    w.view->show();
    QTimer::singleShot(50, [&] { w.view->findChild<QAction*>("mnuExit")->trigger(); });
    w.view->findChild<QPushButton*>("cmdStart")->click();
    QElapsedTimer wall;
    wall.start();
    while (!w.view->finished() && wall.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(w.view->finished());
    EXPECT_FALSE(w.view->isVisible());
    EXPECT_GT(w.pellin.checkZCalls, 1);
    for (const char* key : {"EMODE", "DTR", "RTS", "CONVERT", "QUENLAR", "START", "SHUTDOWN"})
        EXPECT_FALSE(w.store.ReadSetting("Setup", key).empty()) << key;
    EXPECT_TRUE(w.pellin.loads.empty());
}

// The window's close box goes through the model's close request.
TEST(Services, CloseBoxRunsTheCloseRequest) {
    QtWorld w;
    w.view->show();
    w.view->findChild<QAction*>("mnuAutoQuenlar")->trigger();
    EXPECT_TRUE(w.model->mnuAutoQuenlar.checked);
    w.view->close();
    EXPECT_TRUE(w.view->finished());
    EXPECT_FALSE(w.model->mnuAutoQuenlar.checked);
    EXPECT_EQ(w.store.ReadSetting("Setup", "DTR"), "True");
}

} // namespace
} // namespace kaprin::test

namespace kaprin::test {
namespace {

// The update-set window is modal; its browse button's chooser offers PLN files, and
// Cancel closes it with nothing stored.
TEST(Services, UpdateSetWindowIsModalWithItsChooser) {
    QtWorld w;
    w.view->show();
    w.view->Dispatch([&] { w.model->ShowEngineerMenu(); });
    w.view->findChild<QAction*>("mnuEMode")->trigger();
    const std::string chosen = w.dir.Write("seg/ONE.PLN", "x");
    bool modal = false;
    QStringList filters;
    WhenModal([&](QWidget* window) {
        modal = window->objectName() == "frmSetting" && window->isModal();
        // The browse button's chooser opens over it.
        WhenModal(
            [&](QWidget* chooser) {
                auto* dialog = qobject_cast<QFileDialog*>(chooser);
                ASSERT_NE(dialog, nullptr);
                filters = dialog->nameFilters();
                AcceptFile(dialog, chosen);
            },
            window);
        window->findChild<QPushButton*>("cmdBrowse_0")->click();
        EXPECT_EQ(window->findChild<QLineEdit*>("txtFile_0")->text().toStdString(), chosen);
        window->findChild<QPushButton*>("CancelButton")->click();
    });
    w.view->findChild<QPushButton*>("Command4")->click();
    EXPECT_TRUE(modal);
    EXPECT_EQ(filters, QStringList({"更新檔 (*.PLN)"}));
    EXPECT_EQ(w.view->child(WindowId::frmSetting), nullptr);
    EXPECT_EQ(w.store.ReadSetting("Setting", "File1"), "");
}

} // namespace
} // namespace kaprin::test
