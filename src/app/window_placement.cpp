#include "window_placement.h"

#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vek {

namespace {

// The top-left corner that keeps a window of `size` inside `area`; a window larger than the
// area keeps its top-left corner, with the title bar, inside.
QPoint KeptInside(const QRect& area, QPoint topLeft, QSize size) {
    const int right = std::max(area.left(), area.right() + 1 - size.width());
    const int bottom = std::max(area.top(), area.bottom() + 1 - size.height());
    return {std::clamp(topLeft.x(), area.left(), right),
            std::clamp(topLeft.y(), area.top(), bottom)};
}

}  // namespace

QSize ToPixels(const QWidget& window, DialogUnits units) {
    const QFontMetrics metrics(window.font());
    return QSize(qRound(units.x * metrics.averageCharWidth() / 4.0),
                 qRound(units.y * metrics.height() / 8.0));
}

void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset) {
    const QSize pixels = ToPixels(window, offset);
    const QPoint wanted = mainWindow.geometry().topLeft() + QPoint(pixels.width(), pixels.height());
    const QScreen* screen = mainWindow.screen();
    window.move(screen != nullptr ? KeptInside(screen->availableGeometry(), wanted, window.size())
                                  : wanted);
}

}  // namespace vek
