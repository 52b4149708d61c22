#include "kaprin/gui/art/art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kaprin::gui {

namespace {

// Bars of a made-up barcode: widths in modules, alternating bar and gap.
const int kBars[] = {2, 1, 1, 2, 3, 1, 1, 1, 2, 2, 1, 3, 1, 1, 2, 1, 3, 2, 1, 1, 2,
                     1, 1, 3, 2, 1, 1, 2, 1, 1, 3, 1, 2, 2, 1, 1, 1, 3, 1, 2, 1};

void DrawBarcode(QPainter& p, QRectF box, QColor ink) {
    int modules = 0;
    for (int w : kBars)
        modules += w;
    const qreal unit = box.width() / modules;
    qreal x = box.left();
    bool bar = true;
    for (int w : kBars) {
        if (bar)
            p.fillRect(QRectF(x, box.top(), w * unit, box.height()), ink);
        x += w * unit;
        bar = !bar;
    }
}

// A hand-held scanner seen from the side, nose to the right, in a box of 1 x 1.
QPainterPath ScannerShape() {
    QPainterPath path;
    path.moveTo(0.05, 0.18);
    path.lineTo(0.80, 0.10);
    path.quadTo(0.97, 0.10, 0.97, 0.26);
    path.lineTo(0.97, 0.40);
    path.quadTo(0.97, 0.50, 0.85, 0.50);
    path.lineTo(0.48, 0.52);
    path.lineTo(0.40, 0.95);
    path.quadTo(0.38, 1.00, 0.30, 1.00);
    path.lineTo(0.18, 1.00);
    path.quadTo(0.12, 1.00, 0.14, 0.92);
    path.lineTo(0.22, 0.50);
    path.lineTo(0.08, 0.46);
    path.quadTo(0.02, 0.44, 0.02, 0.36);
    path.lineTo(0.02, 0.26);
    path.quadTo(0.02, 0.19, 0.05, 0.18);
    return path;
}

void DrawScanner(QPainter& p, QRectF box) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width(), box.height());
    QLinearGradient body(0, 0, 0, 1);
    body.setColorAt(0, QColor(250, 250, 252));
    body.setColorAt(1, QColor(150, 160, 175));
    p.setPen(QPen(QColor(20, 30, 50), 0.012));
    p.setBrush(body);
    p.drawPath(ScannerShape());
    // Trigger and window.
    p.setBrush(QColor(40, 50, 70));
    p.drawRoundedRect(QRectF(0.26, 0.52, 0.10, 0.12), 0.02, 0.02);
    p.setBrush(QColor(200, 20, 30));
    p.drawRect(QRectF(0.94, 0.22, 0.03, 0.20));
    p.restore();
}

// The green download arrow: its shaft, and its head from the base line to the tip.
void DrawArrow(QPainter& p, QRectF shaft, QLineF headBase, QPointF tip) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 220, 120));
    QPainterPath arrow;
    arrow.addRect(shaft);
    arrow.moveTo(headBase.p1());
    arrow.lineTo(headBase.p2());
    arrow.lineTo(tip);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

} // namespace

QImage DrawAbout(qreal ratio) {
    QImage image(qRound(kAboutSize.width() * ratio), qRound(kAboutSize.height() * ratio),
                 QImage::Format_RGB888);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 560, 143);
    sky.setColorAt(0, QColor(10, 34, 74));
    sky.setColorAt(0.6, QColor(16, 82, 120));
    sky.setColorAt(1, QColor(24, 130, 140));
    p.fillRect(QRect(QPoint(0, 0), kAboutSize), sky);
    // Faint grid of a circuit board.
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int x = 0; x < 560; x += 16)
        p.drawLine(x, 0, x, 143);
    for (int y = 0; y < 143; y += 16)
        p.drawLine(0, y, 560, y);

    // The label with its barcode, lit by the scanner's beam.
    const QRectF label(196, 30, 150, 84);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(248, 248, 240));
    p.drawRoundedRect(label, 6, 6);
    DrawBarcode(p, label.adjusted(12, 10, -12, -22), QColor(15, 15, 20));
    QFont digits("DejaVu Sans Mono", 9);
    p.setFont(digits);
    p.setPen(QColor(15, 15, 20));
    p.drawText(label.adjusted(0, 0, 0, -5), Qt::AlignHCenter | Qt::AlignBottom, "4 711 0815 1115");

    QPainterPath beam;
    beam.moveTo(150, 56);
    beam.lineTo(label.left() + 6, label.top() + 8);
    beam.lineTo(label.left() + 6, label.bottom() - 8);
    beam.closeSubpath();
    p.setBrush(QColor(255, 40, 40, 60));
    p.drawPath(beam);
    p.setPen(QPen(QColor(255, 40, 40), 2));
    p.drawLine(QPointF(label.left() + 4, 64), QPointF(label.right() - 4, 64));

    DrawScanner(p, QRectF(22, 14, 132, 118));

    // Title and the line that tells what it does.
    QFont title("DejaVu Sans", 30, QFont::Bold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(362, 22, 190, 50), Qt::AlignLeft | Qt::AlignVCenter, "KAPRIN");
    QFont sub("DejaVu Sans", 9);
    p.setFont(sub);
    p.setPen(QColor(190, 225, 235));
    p.drawText(QRectF(364, 72, 190, 40), Qt::AlignLeft | Qt::TextWordWrap,
               "Firmware download\nfor barcode scanners");
    DrawArrow(p, QRectF(528, 100, 10, 16), QLineF(520, 116, 546, 116), QPointF(533, 132));
    return image;
}

QImage DrawIcon(int size, qreal ratio) {
    const int pixels = qRound(size * ratio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient back(0, 0, 256, 256);
    back.setColorAt(0, QColor(16, 58, 104));
    back.setColorAt(1, QColor(24, 130, 140));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    p.setBrush(QColor(248, 248, 240));
    p.drawRoundedRect(QRectF(40, 44, 176, 112), 10, 10);
    DrawBarcode(p, QRectF(56, 58, 144, 84), QColor(15, 15, 20));
    p.setPen(QPen(QColor(255, 40, 40), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(34, 100), QPointF(222, 100));
    DrawArrow(p, QRectF(114, 164, 28, 34), QLineF(88, 196, 168, 196), QPointF(128, 236));
    return image;
}

} // namespace kaprin::gui
