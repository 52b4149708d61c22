#include "gui_fixture.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace kaprin::test {

std::string WriteLanguage(const TempDir& dir) {
    std::string text = "English for the tests\r\n";
    for (int id : {1000, 1100, 1101, 1110, 1111, 1120, 1121, 1122, 1200, 1201, 1202, 1204, 1205,
                   1206, 1207}) {
        text += "#" + std::to_string(id) + " T" + std::to_string(id) + "\r\n";
    }
    for (int id = 1300; id <= 1326; ++id)
        text += "#" + std::to_string(id) + " T" + std::to_string(id) + "\r\n";
    return dir.Write("Language/English.ini", text);
}

GuiWorld::GuiWorld(std::string commandLine) {
    WriteLanguage(dir);
    model = std::make_unique<FrmMain>(Ports{windows, clock, store, pellin, kaldun, &serial},
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

void WhenModal(std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start();
}

} // namespace kaprin::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
