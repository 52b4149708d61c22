#include "kaprin/gui/binding.h"

#include "kaprin/gui/lamp.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

namespace kaprin::gui {

QColor ToQColor(Rgb colour) {
    return QColor(colour.r, colour.g, colour.b);
}

void SetVisible(QWidget* widget, bool visible) {
    // isHidden() is the widget's own flag, also while its window is not shown yet.
    if (widget->isHidden() == visible)
        widget->setVisible(visible);
}

namespace {

void SetEnabled(QWidget* widget, bool enabled) {
    if (widget->isEnabled() != enabled)
        widget->setEnabled(enabled);
}

void SetToolTip(QWidget* widget, const std::string& tip) {
    const QString text = Q(tip);
    if (widget->toolTip() != text)
        widget->setToolTip(text);
}

} // namespace

void Bind(QAbstractButton* button, const Control& control) {
    const QString text = Q(control.caption);
    if (button->text() != text)
        button->setText(text);
    SetEnabled(button, control.enabled);
    SetVisible(button, control.visible);
    if (button->isCheckable() && button->isChecked() != control.checked) {
        const QSignalBlocker quiet(button);
        button->setChecked(control.checked);
    }
    SetToolTip(button, control.tooltip);
}

void SetText(QLabel* label, const std::string& text) {
    const QString value = Q(text);
    if (label->text() != value)
        label->setText(value);
}

void Bind(QLabel* label, const Control& control) {
    SetText(label, control.caption);
    SetEnabled(label, control.enabled);
    SetVisible(label, control.visible);
    SetToolTip(label, control.tooltip);
    if (control.colour != Rgb{}) {
        const QColor colour = ToQColor(control.colour);
        if (label->palette().color(QPalette::WindowText) != colour) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, colour);
            label->setPalette(palette);
        }
    }
}

void Bind(QGroupBox* frame, const Control& control) {
    const QString title = Q(control.caption);
    if (frame->title() != title)
        frame->setTitle(title);
    SetEnabled(frame, control.enabled);
    SetVisible(frame, control.visible);
}

void Bind(QAction* action, const Control& control, bool escapeMnemonic) {
    QString text = Q(control.caption);
    if (escapeMnemonic)
        text.replace('&', "&&");
    if (!action->isSeparator() && action->text() != text)
        action->setText(text);
    if (action->isEnabled() != control.enabled)
        action->setEnabled(control.enabled);
    if (action->isVisible() != control.visible)
        action->setVisible(control.visible);
    if (action->isCheckable() && action->isChecked() != control.checked) {
        const QSignalBlocker quiet(action);
        action->setChecked(control.checked);
    }
    if (!control.tooltip.empty()) {
        const QString tip = Q(control.tooltip);
        if (action->toolTip() != tip)
            action->setToolTip(tip);
        if (action->statusTip() != tip)
            action->setStatusTip(tip);
    }
}

void Bind(QMenu* menu, const Control& control) {
    const QString title = Q(control.caption);
    if (menu->title() != title)
        menu->setTitle(title);
    QAction* item = menu->menuAction();
    if (item->isEnabled() != control.enabled)
        item->setEnabled(control.enabled);
    if (item->isVisible() != control.visible)
        item->setVisible(control.visible);
}

void Bind(Lamp* lamp, const Control& control) {
    lamp->setColour(ToQColor(control.colour));
    SetVisible(lamp, control.visible);
}

void Bind(QLineEdit* box, const TextBox& state) {
    const QString text = Q(state.text);
    if (box->text() != text) {
        // Keep the caret where the person left it when only the end changed.
        const int caret = box->cursorPosition();
        box->setText(text);
        box->setCursorPosition(std::min<int>(caret, text.size()));
    }
    SetEnabled(box, state.enabled);
}

void Bind(QComboBox* combo, const ComboBox& state) {
    const QSignalBlocker quiet(combo);
    bool same = combo->count() == static_cast<int>(state.entries.size());
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == Q(state.entries[static_cast<std::size_t>(i)]);
    if (!same) {
        combo->clear();
        for (const auto& entry : state.entries)
            combo->addItem(Q(entry));
    }
    // Changing the current entry rewrites the edit text and puts the caret at its start:
    // the caret is taken before, and given back after, wherever the person was typing.
    QLineEdit* edit = combo->isEditable() ? combo->lineEdit() : nullptr;
    const int caret = edit ? edit->cursorPosition() : 0;
    if (combo->currentIndex() != state.listIndex)
        combo->setCurrentIndex(state.listIndex);
    const QString text = Q(state.text);
    if (edit && (combo->currentText() != text || edit->cursorPosition() != caret)) {
        if (combo->currentText() != text)
            combo->setEditText(text);
        edit->setCursorPosition(std::min<int>(caret, text.size()));
    }
}

void Bind(QListWidget* list, const ListBox& state) {
    const QSignalBlocker quiet(list);
    bool same = list->count() == static_cast<int>(state.items.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == Q(state.items[static_cast<std::size_t>(i)]);
    if (!same) {
        list->clear();
        for (const auto& item : state.items)
            list->addItem(Q(item));
    }
    if (list->currentRow() != state.listIndex)
        list->setCurrentRow(state.listIndex);
    SetToolTip(list, state.tooltip);
}

void Bind(QTableWidget* table, const Table& state) {
    const QSignalBlocker quiet(table);
    const int columns = static_cast<int>(state.columns.size());
    if (table->columnCount() != columns)
        table->setColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
        const QString heading = Q(state.columns[static_cast<std::size_t>(c)]);
        QTableWidgetItem* item = table->horizontalHeaderItem(c);
        if (!item || item->text() != heading)
            table->setHorizontalHeaderItem(c, new QTableWidgetItem(heading));
    }
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);

    const bool empty = state.rows.empty() && !state.emptyText.empty();
    const int rows = empty ? 1 : static_cast<int>(state.rows.size());
    bool changed = table->rowCount() != rows;
    if (changed)
        table->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const auto& cells = empty ? std::vector<std::string>{} : state.rows[std::size_t(r)];
            const QString text = empty ? (c == 0 ? Q(state.emptyText) : QString())
                                 : std::size_t(c) < cells.size() ? Q(cells[std::size_t(c)])
                                                                 : QString();
            QTableWidgetItem* item = table->item(r, c);
            const Qt::ItemFlags flags =
                empty ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (!item) {
                item = new QTableWidgetItem;
                table->setItem(r, c, item);
                changed = true;
            }
            if (item->text() != text)
                item->setText(text);
            if (item->flags() != flags)
                item->setFlags(flags);
        }
    }
    if (changed)
        table->resizeColumnsToContents();
    const int current = empty ? -1 : state.listIndex;
    if (table->currentRow() != current) {
        if (current < 0)
            table->clearSelection();
        table->setCurrentCell(current, current < 0 ? -1 : 0);
    }
}

void Bind(QProgressBar* bar, const ProgressBar& state) {
    if (bar->minimum() != state.min || bar->maximum() != state.max)
        bar->setRange(state.min, state.max);
    if (bar->value() != state.value)
        bar->setValue(state.value);
}

} // namespace kaprin::gui
