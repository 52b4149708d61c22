// The product pictures, drawn for the screen they show on: at a device pixel ratio of 2 a
// picture has twice the pixels of its size, so it stays sharp where a scaled copy would
// blur.
#pragma once

#include <QImage>
#include <QSize>

namespace kaprin::gui {

// The About picture, 560 x 143 in the window's own units.
inline constexpr QSize kAboutSize{560, 143};
QImage DrawAbout(qreal ratio);

// The program's icon, `size` units square.
QImage DrawIcon(int size, qreal ratio);

} // namespace kaprin::gui
