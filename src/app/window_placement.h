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

// Moves `window` beside the main window: `offset` from the main window's client-area origin
// for a window to its left (x below 0); for one to its right, the same distance from where
// the right edge of a main window of the classic 167 units would be, measured from this
// main window's right edge, so that a wider main window is not covered. On the main window's
// screen, and on the other side of it when the wanted side has no room.
void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset);

}  // namespace vek
