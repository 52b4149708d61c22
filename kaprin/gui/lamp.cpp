#include "kaprin/gui/lamp.h"

#include <QPainter>

namespace kaprin::gui {

Lamp::Lamp(QWidget* parent) : QWidget(parent) {}

void Lamp::setColour(const QColor& colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

void Lamp::setRound(bool round) {
    if (round == round_)
        return;
    round_ = round;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, round_);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour_);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (round_)
        painter.drawEllipse(box);
    else
        painter.drawRect(box);
}

} // namespace kaprin::gui
