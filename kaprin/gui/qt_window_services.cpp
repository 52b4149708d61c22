#include "kaprin/gui/qt_window_services.h"

#include "kaprin/gui/binding.h"
#include "kaprin/gui/file_dialogs.h"
#include "kaprin/gui/main_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace kaprin::gui {

namespace {
const QString kTitle = QStringLiteral("Kaprin");
}

QtWindowServices::QtWindowServices() = default;

bool QtWindowServices::Unattended() {
    const QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

void QtWindowServices::BeforeBlocking() {
    // The window shows the state the question belongs to, and its timers agree.
    if (view_)
        view_->Refresh();
}

namespace {

// Offscreen nobody sees a box; standard error at least says what the program waits for.
void NoteUnattended(const char* kind, const std::string& text) {
    if (QtWindowServices::Unattended()) {
        std::fprintf(stderr, "Kaprin: %s shown with nobody to answer it: %s\n", kind, text.c_str());
        std::fflush(stderr);
    }
}

} // namespace

bool QtWindowServices::AskYesNo(const std::string& text) {
    BeforeBlocking();
    NoteUnattended("a Yes/No question", text);
    QMessageBox box(QMessageBox::Question, kTitle, Q(text), QMessageBox::Yes | QMessageBox::No,
                    view_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtWindowServices::ShowMessage(const std::string& text, MessageKind kind) {
    BeforeBlocking();
    NoteUnattended("a message", text);
    const QMessageBox::Icon icon = kind == MessageKind::Critical  ? QMessageBox::Critical
                                   : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                  : QMessageBox::Information;
    QMessageBox box(icon, kTitle, Q(text), QMessageBox::Ok, view_);
    box.exec();
}

void QtWindowServices::Warn(const std::string& text) {
    std::fprintf(stderr, "Kaprin: %s\n", text.c_str());
    std::fflush(stderr);
    if (!Unattended())
        ShowMessage(text, MessageKind::Warning);
}

std::optional<std::string> QtWindowServices::ChooseOpenFile(const FileDialog& dialog) {
    BeforeBlocking();
    return RunFileDialog(view_, dialog, DialogKind::Open);
}

std::optional<std::string> QtWindowServices::ChooseSaveFile(const FileDialog& dialog) {
    BeforeBlocking();
    return RunFileDialog(view_, dialog, DialogKind::Save);
}

void QtWindowServices::Beep() {
    QApplication::beep();
}

void QtWindowServices::CloseMainWindow() {
    if (view_)
        view_->RequestClose();
}

void QtWindowServices::ShowWindow(WindowId id) {
    if (view_)
        view_->ShowChild(id);
}

void QtWindowServices::ShowModalWindow(WindowId id) {
    if (view_)
        view_->ShowChildModal(id);
}

void QtWindowServices::CloseWindow(WindowId id) {
    if (view_)
        view_->DropChild(id);
}

void QtWindowServices::OpenHelp(const std::string& path) {
    const QFileInfo page(Q(path));
    if (!page.isFile() || !page.isReadable())
        return;
    // The desktop's opener reports a missing viewer only on its standard error and in its
    // exit status, after it has been started; so it is run here and its status watched.
    const QString file = page.absoluteFilePath();
    auto* opener = new QProcess(&openers_);
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(opener, &QProcess::finished, opener,
                     [this, opener, file](int code, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         if (status != QProcess::NormalExit || code != 0)
                             NoHelpViewer(file);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [this, opener, file](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         opener->deleteLater();
                         NoHelpViewer(file);
                     });
    opener->start(QStringLiteral("xdg-open"), {QUrl::fromLocalFile(file).toString()});
}

void QtWindowServices::NoHelpViewer(const QString& page) {
    ShowMessage("No viewer for the help was found. The help is the file " + S(page) + ".",
                MessageKind::Information);
}

void QtWindowServices::Fatal(const std::string& text) {
    std::fprintf(stderr, "Kaprin: %s\n", text.c_str());
    std::fflush(stderr);
    if (qApp && !Unattended())
        QMessageBox::critical(view_, kTitle, Q(text));
    // No destructor runs: the settings are already on disk, and a half-bound library
    // must not be called again on the way out.
    ::_exit(1);
}

} // namespace kaprin::gui
