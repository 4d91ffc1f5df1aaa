#include "window_placement.h"

#include <QFontMetrics>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vek {

namespace {

// The width in dialog units of the main window that the right-hand offsets were made for.
constexpr int CLASSIC_MAIN_WINDOW_WIDTH = 167;

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
    const QRect client = mainWindow.geometry();
    const bool toTheLeft = offset.x < 0;
    const int leftX = client.left() + ToPixels(window, {offset.x, 0}).width();
    const int rightX =
        client.right() + 1 + ToPixels(window, {offset.x - CLASSIC_MAIN_WINDOW_WIDTH, 0}).width();
    const int y = client.top() + ToPixels(window, {0, offset.y}).height();
    const QScreen* screen = mainWindow.screen();
    if (screen == nullptr) {
        window.move(toTheLeft ? leftX : rightX, y);
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize size = window.size();
    const QRect occupied = mainWindow.frameGeometry();
    // The wanted side first; where it leaves no room, the window would cover the main window.
    const int gap = std::abs(ToPixels(window, {4, 0}).width());
    const int otherX =
        toTheLeft ? occupied.right() + 1 + gap : occupied.left() - gap - size.width();
    for (const int x : {toTheLeft ? leftX : rightX, otherX}) {
        const QPoint corner = KeptInside(area, {x, y}, size);
        if (!QRect(corner, size).intersects(occupied)) {
            window.move(corner);
            return;
        }
    }
    window.move(KeptInside(area, {toTheLeft ? leftX : rightX, y}, size));
}

}  // namespace vek
