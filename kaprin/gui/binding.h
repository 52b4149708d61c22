// Copies the model's control state into widgets. Each setter compares first, so a
// refresh at every pump costs next to nothing when nothing changed.
#pragma once

#include "kaprin/base/control.h"

#include <QColor>
#include <QString>

#include <string>

class QAbstractButton;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QTableWidget;
class QWidget;

namespace kaprin::gui {

class Lamp;

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

// 96 dots per inch, 1440 twips per inch.
inline int TwipsToPixels(int twips) {
    return (twips + 7) / 15;
}

QColor ToQColor(Rgb colour);

void SetVisible(QWidget* widget, bool visible);
void Bind(QAbstractButton* button, const Control& control);
// `colour` {0, 0, 0} keeps the style's text colour.
void Bind(QLabel* label, const Control& control);
void Bind(QGroupBox* frame, const Control& control);
void Bind(QAction* action, const Control& control, bool escapeMnemonic = false);
void Bind(QMenu* menu, const Control& control);
void Bind(Lamp* lamp, const Control& control);
void Bind(QLineEdit* box, const TextBox& text);
void Bind(QComboBox* combo, const ComboBox& state);
void Bind(QListWidget* list, const ListBox& state);
void Bind(QProgressBar* bar, const ProgressBar& state);
// Rows are chosen whole; cells are read-only; the empty text shows as a row nobody can choose.
void Bind(QTableWidget* table, const Table& state);
void SetText(QLabel* label, const std::string& text);

} // namespace kaprin::gui
