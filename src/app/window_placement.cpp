#include "window_placement.h"

#include <QFontMetrics>
#include <QScreen>
#include <QWidget>

namespace vek {

QSize ToPixels(const QWidget& window, DialogUnits units) {
    const QFontMetrics metrics(window.font());
    return QSize(units.x * metrics.averageCharWidth() / 4, units.y * metrics.height() / 8);
}

void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset) {
    const QSize pixels = ToPixels(mainWindow, offset);
    QPoint corner = mainWindow.geometry().topLeft() + QPoint(pixels.width(), pixels.height());
    if (const QScreen* screen = mainWindow.screen()) {
        const QRect available = screen->availableGeometry();
        const QSize size = window.frameGeometry().size();
        corner.setX(qBound(available.left(), corner.x(), available.right() - size.width()));
        corner.setY(qBound(available.top(), corner.y(), available.bottom() - size.height()));
    }
    window.move(corner);
}

}  // namespace vek
