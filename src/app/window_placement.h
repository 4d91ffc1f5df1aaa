// Sizes and places of the small windows around the main window, given in dialog units: a
// quarter of the font's average character width across, an eighth of its height down.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

class QFileDialog;
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
// screen, and elsewhere when that spot would cover the main window or one of its other windows.
void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset);

// Where a window of `size` goes on the screen area `screen`: at `wanted` when it fits there
// fully and covers neither the main window's frame `main` nor any of `taken`; else at the first
// such spot right of the main window, then left of it, then below it, `gap` pixels apart, lined
// up after the windows already there; else at `wanted`, moved onto the screen.
QPoint FreeSpot(const QRect& screen, const QRect& main, const std::vector<QRect>& taken,
                QPoint wanted, QSize size, int gap);

// Sizes a file dialog so that its name, size, type and date columns show whole, within the
// main window's screen; shown, it stands centred over its parent.
void FitFileDialog(QFileDialog& dialog, const QWidget* mainWindow);

}  // namespace vek
