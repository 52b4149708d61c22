// A lamp of the main window: a filled circle (the line lamps) or rectangle (the chaser).
#pragma once

#include <QColor>
#include <QWidget>

namespace kaprin::gui {

class Lamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor colour READ colour WRITE setColour)
    Q_PROPERTY(bool round READ round WRITE setRound)

public:
    explicit Lamp(QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);
    bool round() const { return round_; }
    void setRound(bool round);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_{Qt::black};
    bool round_ = false;
};

} // namespace kaprin::gui
