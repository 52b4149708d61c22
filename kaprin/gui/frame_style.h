// The platform's style, with the frames of lists and tables drawn whole at any scale.
#pragma once

#include <QProxyStyle>

namespace kaprin::gui {

// Fusion strokes a list's frame half a pixel inside its edge; at a fractional scale (1.5)
// that line falls under the list's own area, which paints over it, and at 2 only its inner
// half shows. This style fills the frame's edges as whole pixels of the widget instead,
// so they lie outside the area the list paints. Other styles draw as they do.
class FrameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace kaprin::gui
