// A window of the utility other than the main one. Its close box and Escape key are
// reported as frameClosed(); the model decides what they mean.
#pragma once

#include "kaprin/base/ports.h"

#include <QDialog>

namespace kaprin::gui {

class ChildDialog : public QDialog {
    Q_OBJECT

public:
    ChildDialog(WindowId id, QWidget* parent) : QDialog(parent), id_(id) {}
    WindowId id() const { return id_; }

    // Closes the window on the model's behalf, without reporting a frame close.
    void Drop() { QDialog::done(QDialog::Rejected); }

    void reject() override {
        Q_EMIT frameClosed(id_);
        QDialog::reject();
    }

Q_SIGNALS:
    void frameClosed(kaprin::WindowId id);

private:
    WindowId id_;
};

} // namespace kaprin::gui
