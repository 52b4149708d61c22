// Kaprin: the windowed utility. Binds the model to Qt Widgets and the real libraries.
#include "kaprin/core/command_line.h"
#include "kaprin/core/frm_main.h"
#include "kaprin/core/library_binding.h"
#include "kaprin/gui/frame_style.h"
#include "kaprin/gui/main_window.h"
#include "kaprin/gui/qt_window_services.h"
#include "kaprin/prefs/device_texts.h"
#include "kaprin/prefs/settings_keys.h"
#include "kaprin/record/download_log.h"
#include "kaprin/serial/system_serial_ports.h"
#include "kaprin/store/qsettings_store.h"
#include "kaprin/version.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// --version and --help answer on standard output and need no display; nothing else runs.
// Returns false when neither is given.
bool AnswerInfoOption(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (word == "--version") {
            std::printf("Kaprin %s\n", kaprin::kVersionText);
            return true;
        }
        if (word == "--help") {
            std::printf("Usage: Kaprin [-A | -C | -S | -D] [-F=FILE] [-E<n>]\n\n"
                        "Downloads firmware into a scanner on a serial port, in a window.\n"
                        "Up to three words, the option letters in any case:\n%s"
                        "\n  --help, --version\n\n"
                        "Without a desktop it runs headless with QT_QPA_PLATFORM=offscreen; "
                        "kaprin-cli is the terminal front end.\n",
                        kaprin::kCommandWordsHelp);
            return true;
        }
    }
    return false;
}

bool HasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// Qt ends the program with abort() when no platform plugin can start; say why instead.
void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Kaprin: the window system cannot be used. Run it on a desktop, "
                             "or headless with QT_QPA_PLATFORM=offscreen.\n");
        std::fflush(stderr);
        ::_exit(2);
    }
}

} // namespace

int main(int argc, char** argv) {
    // The words after the program's name, each whole (a path may hold spaces), taken
    // before Qt looks at them.
    std::vector<std::string> commandWords(argv + 1, argv + argc);
    if (AnswerInfoOption(commandWords))
        return 0;
    if (!HasDisplay()) {
        std::fprintf(stderr, "Kaprin: no display (neither DISPLAY nor WAYLAND_DISPLAY is set). "
                             "Run it on a desktop, or headless with QT_QPA_PLATFORM=offscreen.\n");
        return 2;
    }
    QtMessageHandler previous = qInstallMessageHandler(OnQtMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setStyle(new kaprin::gui::FrameStyle);
    QApplication::setApplicationName("Kaprin");
    QApplication::setApplicationVersion(kaprin::kVersionText);
    QApplication::setQuitOnLastWindowClosed(false);

    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    kaprin::gui::QtWindowServices windows;
    kaprin::gui::QtClock clock;
    const QString settingsPath = kaprin::QSettingsStore::DefaultPath();
    if (std::string problem = kaprin::QSettingsStore::FileProblem(settingsPath); !problem.empty())
        windows.Fatal("Kaprin cannot start: " + problem + ".");
    kaprin::QSettingsStore settings(settingsPath);
    settings.onLockHeld = [&windows](const std::string& problem) { windows.Warn(problem + "."); };
    kaprin::PellinLibrary library(windows, programDir);
    kaprin::SystemSerialPorts serial(programDir);
    serial.onMapProblem = [&windows](const std::string& problem) { windows.Warn(problem + "."); };
    kaprin::KaldunLibrary kaldun(windows, programDir);
    // Every transfer goes to the journal, and to the log file chosen in the Setup menu,
    // with the device the serial component maps its port to.
    kaprin::record::RecordWriter record(
        [&settings] {
            return settings.ReadSetting(kaprin::settings::kSetup, kaprin::settings::kLogFile);
        },
        [&serial](std::int32_t index) { return serial.MapPort(index + 1).device; });
    // Once when writing starts to fail, and again when it works again.
    record.onLogError = [&windows](const std::string& path, const std::string& error) {
        windows.Warn("The log file " + path + " cannot be written: " + error);
    };
    record.onLogRecovered = [&windows](const std::string& path, int unwritten) {
        windows.Warn("The log file " + path + " is written again; " + std::to_string(unwritten) +
                     " record(s) were not written to it.");
    };
    kaprin::FrmMain model(
        kaprin::Ports{windows, clock, settings, library, kaldun, &record, &serial}, programDir,
        commandWords);
    // Why a port cannot be used, beside what the run itself shows.
    model.serialLine().onProblem = [&windows, &model](const kaprin::PortState& state) {
        windows.Warn(kaprin::PortProblemText(state, model.langTable));
    };
    kaprin::gui::MainWindow view(model);
    windows.Attach(&view);
    // "Ask for unit id": a small input box before each download; Cancel downloads nothing.
    record.identity.operatorName = kaprin::record::LoginName();
    QAction* askUnit = new QAction(QStringLiteral("Ask for Unit Id"), &view);
    askUnit->setCheckable(true);
    askUnit->setChecked(
        settings.ReadSetting(kaprin::settings::kSetup, kaprin::settings::kAskUnit) == "True");
    if (QMenu* setup = view.findChild<QMenu*>(QStringLiteral("mnuSetup")))
        setup->addAction(askUnit);
    QObject::connect(askUnit, &QAction::toggled, [&settings](bool on) {
        settings.WriteSetting(kaprin::settings::kSetup, kaprin::settings::kAskUnit,
                              on ? "True" : "False");
    });
    record.askUnit = [&view, askUnit]() -> std::optional<std::string> {
        if (!askUnit->isChecked())
            return std::string();
        bool ok = false;
        const QString unit =
            QInputDialog::getText(&view, QStringLiteral("Kaprin"), QStringLiteral("Unit id:"),
                                  QLineEdit::Normal, QString(), &ok)
                .trimmed();
        if (!ok || unit.isEmpty())
            return std::nullopt;
        return unit.toStdString();
    };
    view.onHandlerFailure = [&windows](const std::exception& failure) {
        windows.Fatal(std::string("unexpected failure: ") + failure.what());
    };
    QObject::connect(&view, &kaprin::gui::MainWindow::closed, &app, [] { QApplication::quit(); });

    view.Dispatch([&model] { model.Form_Load(); });
    if (view.finished())
        return 0;
    view.show();
    return app.exec();
}
