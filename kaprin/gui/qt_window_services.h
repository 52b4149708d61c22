// The window services of the model on Qt: message boxes, file dialogs, the beep, the
// other windows and the help page.
#pragma once

#include "kaprin/base/ports.h"

#include <QObject>

#include <chrono>

namespace kaprin::gui {

class MainWindow;

class QtWindowServices : public WindowServices {
public:
    QtWindowServices();
    // The view is created after the model, which needs the services first.
    void Attach(MainWindow* view) { view_ = view; }

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, MessageKind kind) override;
    // On standard error always, and in a box where somebody can close it.
    void Warn(const std::string& text) override;
    std::optional<std::string> ChooseOpenFile(const FileDialog& dialog) override;
    std::optional<std::string> ChooseSaveFile(const FileDialog& dialog) override;
    void Beep() override;
    void CloseMainWindow() override;
    void ShowWindow(WindowId id) override;
    void ShowModalWindow(WindowId id) override;
    void CloseWindow(WindowId id) override;
    void OpenHelp(const std::string& path) override;
    [[noreturn]] void Fatal(const std::string& text) override;

    // True where nobody can answer a box (the offscreen and minimal platforms).
    static bool Unattended();

private:
    void BeforeBlocking();
    void NoHelpViewer(const QString& page);
    MainWindow* view_ = nullptr;
    // Owns the help openers still running, so that none reports to services gone.
    QObject openers_;
};

// Milliseconds of a monotonic clock, as a 32-bit tick count.
class QtClock : public Clock {
public:
    std::uint32_t TickCount() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
};

} // namespace kaprin::gui
