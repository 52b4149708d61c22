// Every control of every window exists under its model name and shows the model's state.
#include "gui_fixture.h"

#include "kaprin/gui/child_dialog.h"
#include "kaprin/gui/lamp.h"
#include "kaprin/info/frm_about.h"
#include "kaprin/prefs/frm_comm.h"
#include "kaprin/prefs/frm_devices.h"
#include "kaprin/prefs/frm_language.h"
#include "kaprin/updateset/frm_setting.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace kaprin::test {
namespace {

struct Named {
    std::string name;
    const char* className; // the Qt class the control must be
};

std::vector<Named> Array(const std::string& prefix, int count, const char* className) {
    std::vector<Named> names;
    for (int i = 0; i < count; ++i)
        names.push_back({prefix + "_" + std::to_string(i), className});
    return names;
}

std::vector<Named> Join(std::vector<std::vector<Named>> parts) {
    std::vector<Named> all;
    for (auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void ExpectNames(QObject* root, const std::vector<Named>& names) {
    for (const auto& named : names) {
        QObject* found = root->objectName() == QString::fromStdString(named.name)
                             ? root
                             : root->findChild<QObject*>(QString::fromStdString(named.name));
        ASSERT_NE(found, nullptr) << named.name;
        EXPECT_TRUE(found->inherits(named.className))
            << named.name << " is a " << found->metaObject()->className();
    }
}

const std::vector<Named> kMainControls = Join({
    {{"frmMain", "QMainWindow"},
     {"txtSFile", "QLineEdit"},
     {"cmdBorwse", "QPushButton"},
     {"optFont", "QRadioButton"},
     {"cmdStart", "QPushButton"},
     {"cmdStop", "QPushButton"},
     {"cboDelay", "QComboBox"},
     {"lblPort", "QLabel"},
     {"sDTR", "kaprin::gui::Lamp"},
     {"sRTS", "kaprin::gui::Lamp"},
     {"List1", "QListWidget"},
     {"PB1", "QProgressBar"},
     {"SB1", "QStatusBar"},
     {"SB1_Panel1", "QLabel"},
     {"SB1_Panel2", "QLabel"},
     {"t1", "QTimer"},
     {"t2", "QTimer"},
     {"Frame1", "QGroupBox"},
     {"Frame2", "QGroupBox"},
     {"Frame3", "QFrame"},
     {"Command4", "QPushButton"},
     {"txtCStatus", "QLineEdit"},
     {"Label2", "QLabel"},
     {"Image1", "QLabel"},
     {"mnufile", "QMenu"},
     {"mnuSetup", "QMenu"},
     {"mnuAbout", "QMenu"}},
    Array("Label1", 5, "QLabel"),
    Array("Shape1", 16, "kaprin::gui::Lamp"),
    Array("cmdStep", 6, "QPushButton"),
});

const std::vector<Named> kMainMenuItems = {
    {"mnuLine1", "QAction"},       {"mnuRF1", "QAction"},      {"mnuRF2", "QAction"},
    {"mnuRF3", "QAction"},         {"mnuRF4", "QAction"},      {"mnuLine2", "QAction"},
    {"mnuExit", "QAction"},        {"mnuLanguage", "QAction"}, {"mnuComm", "QAction"},
    {"mnuEMode", "QAction"},       {"mnuDTR", "QAction"},      {"mnuRTS", "QAction"},
    {"mnuCheck", "QAction"},       {"mnuConvert", "QAction"},  {"mnuQuenlar", "QAction"},
    {"mnuAutoQuenlar", "QAction"}, {"mnuBotStart", "QAction"}, {"mnuBotShutDown", "QAction"},
    {"mnuAbout_", "QAction"},      {"mnuHelp", "QAction"},
};

// The main window: every control and menu item by name, in the state start-up gives.
TEST(Forms, MainWindowControlsFollowStartUp) {
    GuiWorld w;
    ExpectNames(w.view.get(), kMainControls);
    ExpectNames(w.view.get(), kMainMenuItems);

    EXPECT_EQ(w.view->windowTitle(), "T1000");
    EXPECT_EQ(w.widget<QPushButton>("cmdStart")->text(), "T1202");
    EXPECT_EQ(w.widget<QPushButton>("cmdBorwse")->text(), "T1201");
    EXPECT_EQ(w.widget<QLabel>("Label1_4")->text(), "T1207");
    EXPECT_EQ(w.widget<QMenu>("mnufile")->title(), "T1100");
    EXPECT_EQ(w.widget<QAction>("mnuExit")->text(), "T1101");
    EXPECT_EQ(w.widget<QAction>("mnuDTR")->text(), "DTR(Power On)");
    EXPECT_TRUE(w.widget<QAction>("mnuDTR")->isChecked());
    EXPECT_FALSE(w.widget<QAction>("mnuBotStart")->isChecked());
    EXPECT_FALSE(w.widget<QAction>("mnuEMode")->isVisible());
    EXPECT_FALSE(w.widget<QAction>("mnuCheck")->isVisible());
    EXPECT_FALSE(w.widget<QAction>("mnuRF1")->isVisible());
    EXPECT_FALSE(w.widget<QAction>("mnuLine2")->isVisible());
    EXPECT_TRUE(w.widget<QAction>("mnuLine2")->isSeparator());
    EXPECT_TRUE(w.widget("optFont")->isHidden());
    EXPECT_TRUE(w.widget("Frame3")->isHidden());
    EXPECT_FALSE(w.widget("cmdStop")->isEnabled());

    auto* delay = w.widget<QComboBox>("cboDelay");
    ASSERT_EQ(delay->count(), 6);
    EXPECT_EQ(delay->itemText(5), "5 Sec");
    EXPECT_EQ(delay->currentIndex(), 0);

    // 4530 twips high at 96 dpi, the bar at 3480 twips; the line lamps dark red.
    EXPECT_EQ(w.view->height(), 302);
    EXPECT_EQ(w.widget("PB1")->y(), 232);
    EXPECT_EQ(w.widget<gui::Lamp>("sDTR")->colour(), QColor(112, 0, 0));
    EXPECT_TRUE(w.widget<gui::Lamp>("sDTR")->round());
    EXPECT_EQ(w.widget<gui::Lamp>("Shape1_15")->colour(), QColor(0, 112, 0));
    EXPECT_EQ(w.widget<QLabel>("Label2")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_FALSE(w.widget<QTimer>("t1")->isActive());
}

// The engineer shortcut and the Engineer Mode item resize the window and move the bar.
TEST(Forms, EngineerPanelChangesTheGeometry) {
    GuiWorld w;
    w.view->Dispatch([&] { w.model->ShowEngineerMenu(); });
    EXPECT_TRUE(w.widget<QAction>("mnuEMode")->isVisible());
    w.widget<QAction>("mnuEMode")->trigger();
    EXPECT_TRUE(w.widget<QAction>("mnuEMode")->isChecked());
    EXPECT_FALSE(w.widget("Frame3")->isHidden());
    EXPECT_EQ(w.view->height(), 371);
    EXPECT_EQ(w.widget("PB1")->y(), 302);
    w.widget<QAction>("mnuEMode")->trigger();
    EXPECT_TRUE(w.widget("Frame3")->isHidden());
    EXPECT_EQ(w.view->height(), 302);
}

// The other windows: opened through the main window's menus and buttons.
TEST(Forms, OtherWindowsHaveTheirControls) {
    GuiWorld w;
    w.widget<QAction>("mnuComm")->trigger();
    gui::ChildDialog* comm = w.view->child(WindowId::frmComm);
    ASSERT_NE(comm, nullptr);
    EXPECT_EQ(comm->objectName(), "frmComm");
    ExpectNames(comm, Join({Array("Combo1", 5, "QComboBox"),
                            Array("Label1", 5, "QLabel"),
                            {{"Command1", "QPushButton"}, {"Command2", "QPushButton"}}}));
    EXPECT_EQ(comm->windowTitle(), "Communication");
    auto* port = comm->findChild<QComboBox*>("Combo1_0");
    ASSERT_EQ(port->count(), 20);
    EXPECT_EQ(port->itemText(19), "COM20");
    EXPECT_EQ(comm->findChild<QComboBox*>("Combo1_1")->currentText(), "115200");
    EXPECT_EQ(comm->findChild<QComboBox*>("Combo1_4")->currentText(), "None");

    w.widget<QAction>("mnuLanguage")->trigger();
    gui::ChildDialog* language = w.view->child(WindowId::frmLanguage);
    ASSERT_NE(language, nullptr);
    ExpectNames(language, {{"frmLanguage", "QDialog"}, {"File1", "QListWidget"}});
    EXPECT_EQ(language->windowTitle(), "T1111");
    auto* files = language->findChild<QListWidget*>("File1");
    ASSERT_EQ(files->count(), 1);
    EXPECT_EQ(files->item(0)->text(), "English.ini");

    w.widget<QAction>("mnuAbout_")->trigger();
    gui::ChildDialog* about = w.view->child(WindowId::frmAbout);
    ASSERT_NE(about, nullptr);
    ExpectNames(about, {{"frmAbout", "QDialog"},
                        {"Image1", "QLabel"},
                        {"Label1", "QLabel"},
                        {"Label2", "QLabel"},
                        {"cmdOK", "QPushButton"}});
    EXPECT_EQ(about->findChild<QLabel*>("Label1")->text(), "MORLA Quenlar Utility");
    EXPECT_EQ(about->findChild<QLabel*>("Label2")->text(), "1.15");

    w.view->Dispatch([&] { w.model->ShowEngineerMenu(); });
    w.widget<QAction>("mnuEMode")->trigger();
    w.windows.onModal = [&](WindowId id) {
        ASSERT_EQ(id, WindowId::frmSetting);
        gui::ChildDialog* setting = w.view->child(WindowId::frmSetting);
        ASSERT_NE(setting, nullptr);
        ExpectNames(setting, Join({Array("Label1", 6, "QLabel"),
                                   Array("txtFile", 6, "QLineEdit"),
                                   Array("cmdBrowse", 6, "QPushButton"),
                                   {{"cmdLoad", "QPushButton"},
                                    {"cmdSave", "QPushButton"},
                                    {"OKButton", "QPushButton"},
                                    {"CancelButton", "QPushButton"}}}));
        EXPECT_EQ(setting->findChild<QLabel*>("Label1_2")->text(), "第三階段燒錄韌體");
        EXPECT_EQ(setting->findChild<QLabel*>("Label1_2")->palette().color(QPalette::WindowText),
                  QColor(0, 128, 0));
        // OK first, Cancel second in the tab order.
        EXPECT_EQ(setting->findChild<QWidget*>("OKButton")->nextInFocusChain()->objectName(),
                  "CancelButton");
        setting->findChild<QLineEdit*>("txtFile_0")->setText("/x/A.PLN");
        Q_EMIT setting->findChild<QLineEdit*>("txtFile_0")->textEdited("/x/A.PLN");
        setting->findChild<QPushButton*>("OKButton")->click();
    };
    w.widget<QPushButton>("Command4")->click();
    EXPECT_EQ(w.store.ReadSetting("Setting", "File1"), "/x/A.PLN");
    EXPECT_EQ(w.view->child(WindowId::frmSetting), nullptr);
    // The missing file disables its step and the panel says so.
    EXPECT_FALSE(w.widget("cmdStep_0")->isEnabled());
    EXPECT_EQ(w.widget<QLabel>("SB1_Panel1")->text(), "更新檔有一個以上未設定或檔案不存在");
}

// The communication window's choice reaches the library, the port label and the store,
// and the window goes away with its model.
// The logo and the About picture have as many pixels as the screen shows for them, at
// any scale (the test runs again at 1.5 and 2), so neither is a blurred enlargement; a
// list's frame keeps all four edges.
TEST(Forms, PicturesAtTheScreensScale) {
    GuiWorld w;
    w.view->show();
    w.widget<QAction>("mnuAbout_")->trigger();
    const struct {
        QLabel* label;
        QSize size;
    } pictures[] = {
        {w.widget<QLabel>("Image1"), {48, 48}},
        {w.view->child(WindowId::frmAbout)->findChild<QLabel*>("Image1"), {560, 143}},
    };
    for (const auto& p : pictures) {
        const qreal ratio = p.label->devicePixelRatioF();
        const QPixmap picture = p.label->pixmap();
        EXPECT_EQ(picture.devicePixelRatio(), ratio) << p.size.width();
        EXPECT_EQ(picture.size(), (QSizeF(p.size) * ratio).toSize()) << ratio;
    }
    const QImage list = w.widget("List1")->grab().toImage();
    const int right = list.width() - 1, bottom = list.height() - 1;
    const QRgb edge = list.pixel(0, bottom / 2);
    EXPECT_NE(edge, list.pixel(right / 2, bottom / 2));
    for (QPoint at : {QPoint(right, bottom / 2), QPoint(right / 2, 0), QPoint(right / 2, bottom)})
        EXPECT_EQ(list.pixel(at), edge) << at.x() << "," << at.y();
}

TEST(Forms, CommunicationWindowOk) {
    GuiWorld w;
    w.widget<QAction>("mnuComm")->trigger();
    gui::ChildDialog* comm = w.view->child(WindowId::frmComm);
    ASSERT_NE(comm, nullptr);
    auto* port = comm->findChild<QComboBox*>("Combo1_0");
    port->setCurrentIndex(2);
    Q_EMIT port->activated(2);
    auto* baud = comm->findChild<QComboBox*>("Combo1_1");
    baud->setCurrentIndex(3);
    Q_EMIT baud->activated(3);
    comm->findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(w.pellin.usePortCalls.back(), std::make_pair(2, 57600));
    EXPECT_EQ(w.widget<QLabel>("lblPort")->text(), "COM3");
    EXPECT_EQ(w.store.ReadSetting("Comm", "COM PORT"), "2");
    EXPECT_EQ(w.view->child(WindowId::frmComm), nullptr);
    EXPECT_EQ(w.model->frmComm, nullptr);
}

// A modeless window closed by its frame tells the model, which lets it go.
TEST(Forms, FrameCloseDropsTheModelWindow) {
    GuiWorld w;
    w.widget<QAction>("mnuLanguage")->trigger();
    gui::ChildDialog* language = w.view->child(WindowId::frmLanguage);
    ASSERT_NE(language, nullptr);
    language->reject(); // the close box and Escape
    EXPECT_EQ(w.model->frmLanguage, nullptr);
    EXPECT_EQ(w.view->child(WindowId::frmLanguage), nullptr);
}

// Picking a language file in its window changes the main window's captions at once.
TEST(Forms, LanguageChoiceRetitlesTheMainWindow) {
    GuiWorld w;
    w.dir.Write("Language/Other.ini", "#1000 Other title\n#1202 Go\n#1111 Sprache\n");
    w.widget<QAction>("mnuLanguage")->trigger();
    auto* files = w.view->child(WindowId::frmLanguage)->findChild<QListWidget*>("File1");
    ASSERT_EQ(files->count(), 2);
    const int row = files->item(0)->text() == "Other.ini" ? 0 : 1;
    files->setCurrentRow(row);
    EXPECT_EQ(w.view->windowTitle(), "Other title");
    EXPECT_EQ(w.widget<QPushButton>("cmdStart")->text(), "Go");
    EXPECT_EQ(w.view->child(WindowId::frmLanguage)->windowTitle(), "Sprache");
    EXPECT_EQ(w.store.ReadSetting("Setup", "Language"), "Other.ini");
}

// Keys as a person types them, each one a key press the widget handles itself.
void TypeKeys(QWidget* widget, const QString& keys) {
    for (QChar key : keys) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
        QApplication::sendEvent(widget, &press);
    }
}

// The serial devices window, from the communication window's button: two tables whose
// rows are chosen whole; a device clicked and assigned reaches the store and the
// communication window's line; with no device, the placeholder row cannot be chosen.
TEST(Forms, SerialDevicesWindow) {
    GuiWorld w;
    SerialDevice usb;
    usb.devicePath = w.dir.Write("ttyUSB0", "");
    usb.byIdPath = w.dir / "usb-FTDI-if00";
    usb.serial = "A1";
    usb.usb = usb.present = usb.mayOpen = true;
    w.serial.devices = {usb};
    w.widget<QAction>("mnuComm")->trigger();
    gui::ChildDialog* comm = w.view->child(WindowId::frmComm);
    ASSERT_NE(comm, nullptr);
    comm->findChild<QPushButton*>("cmdDevices")->click();
    gui::ChildDialog* devices = w.view->child(WindowId::frmDevices);
    ASSERT_NE(devices, nullptr);
    ExpectNames(devices, {{"frmDevices", "QDialog"},
                          {"lblPorts", "QLabel"},
                          {"tblPorts", "QTableWidget"},
                          {"lblDetected", "QLabel"},
                          {"tblDevices", "QTableWidget"},
                          {"lblPath", "QLabel"},
                          {"txtPath", "QLineEdit"},
                          {"lblStatus", "QLabel"},
                          {"cmdAssign", "QPushButton"},
                          {"cmdClear", "QPushButton"},
                          {"cmdRefresh", "QPushButton"},
                          {"cmdClose", "QPushButton"}});
    EXPECT_EQ(devices->windowTitle(), "Serial devices");
    auto* ports = devices->findChild<QTableWidget*>("tblPorts");
    ASSERT_EQ(ports->rowCount(), 20);
    ASSERT_EQ(ports->columnCount(), 6);
    EXPECT_EQ(ports->horizontalHeaderItem(2)->text(), "Source");
    EXPECT_EQ(ports->item(1, 0)->text(), "COM2");
    ports->setCurrentCell(1, 3);
    auto* found = devices->findChild<QTableWidget*>("tblDevices");
    found->setCurrentCell(0, 1);
    EXPECT_EQ(devices->findChild<QLineEdit*>("txtPath")->text().toStdString(), usb.byIdPath);
    devices->findChild<QPushButton*>("cmdAssign")->click();
    EXPECT_EQ(w.store.ReadSetting("Ports", "COM2"), usb.byIdPath);
    EXPECT_EQ(ports->item(1, 2)->text(), "map");
    auto* port = comm->findChild<QComboBox*>("Combo1_0");
    port->setCurrentIndex(1);
    Q_EMIT port->activated(1);
    EXPECT_EQ(comm->findChild<QLabel*>("lblDevice")->text().toStdString(),
              "Device: " + usb.byIdPath + " (not present)");

    w.serial.devices.clear();
    devices->findChild<QPushButton*>("cmdRefresh")->click();
    ASSERT_EQ(found->rowCount(), 1);
    EXPECT_EQ(found->item(0, 0)->text(), "No serial device found.");
    EXPECT_FALSE(found->item(0, 0)->flags() & Qt::ItemIsSelectable);
    devices->findChild<QPushButton*>("cmdClose")->click();
    EXPECT_EQ(w.view->child(WindowId::frmDevices), nullptr);
    EXPECT_EQ(w.model->frmDevices, nullptr);
}

// Typing into a box that showed an entry keeps the caret where the person types, also at
// the keystroke that makes the text stop (or start) naming an entry.
TEST(Forms, ComboBoxesKeepTheCaret) {
    GuiWorld w;
    w.widget<QAction>("mnuComm")->trigger();
    gui::ChildDialog* comm = w.view->child(WindowId::frmComm);
    ASSERT_NE(comm, nullptr);
    for (const auto& [name, typed] : {std::pair<const char*, QString>{"Combo1_0", "COM99"},
                                      {"Combo1_1", "230400"},
                                      {"Combo1_1", "9600"}}) {
        auto* box = comm->findChild<QComboBox*>(name);
        box->lineEdit()->selectAll();
        TypeKeys(box->lineEdit(), typed);
        EXPECT_EQ(box->currentText(), typed);
        EXPECT_EQ(box->lineEdit()->cursorPosition(), typed.size());
    }
}

} // namespace
} // namespace kaprin::test
