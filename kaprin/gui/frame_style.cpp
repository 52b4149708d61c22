#include "kaprin/gui/frame_style.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QStyleOption>

namespace kaprin::gui {

void FrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    if (element != PE_Frame || !qobject_cast<const QAbstractScrollArea*>(widget) ||
        baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Fusion's colour for this frame: its outline, a shade lighter.
    const QColor edge = option->palette.window().color().darker(140).lighter(108);
    const QRect r = option->rect;
    painter->fillRect(r, option->palette.base());
    painter->fillRect(QRect(r.left(), r.top(), r.width(), 1), edge);
    painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), edge);
    painter->fillRect(QRect(r.left(), r.top(), 1, r.height()), edge);
    painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), edge);
}

} // namespace kaprin::gui
