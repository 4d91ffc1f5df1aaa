// Sizes and places of the small windows around the main window, given in dialog units: a
// quarter of the font's average character width across, an eighth of its height down.
#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace vek {

struct DialogUnits {
    int x;
    int y;
};

QSize ToPixels(const QWidget& window, DialogUnits units);

// Moves `window` so that its top-left corner lies `offset` away from the main window's
// client-area origin, kept on the main window's screen so that it cannot be lost.
void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset);

}  // namespace vek
