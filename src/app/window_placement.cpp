#include "window_placement.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
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

bool IsFree(const QRect& spot, const QRect& screen, const QRect& main,
            const std::vector<QRect>& taken) {
    return screen.contains(spot) && !spot.intersects(main) &&
           std::none_of(taken.begin(), taken.end(),
                        [&](const QRect& other) { return spot.intersects(other); });
}

// A window that has not been shown yet has no frame: it gets one like the main window's.
QSize FramedSize(const QWidget& window, const QWidget& mainWindow) {
    if (window.isVisible()) {
        return window.frameGeometry().size();
    }
    return window.size() + mainWindow.frameGeometry().size() - mainWindow.geometry().size();
}

}  // namespace

QSize ToPixels(const QWidget& window, DialogUnits units) {
    const QFontMetrics metrics(window.font());
    return QSize(qRound(units.x * metrics.averageCharWidth() / 4.0),
                 qRound(units.y * metrics.height() / 8.0));
}

QPoint FreeSpot(const QRect& screen, const QRect& main, const std::vector<QRect>& taken,
                QPoint wanted, QSize size, int gap) {
    // Beside the main window level with its top, or just past a window already on that side.
    std::vector<int> rows{main.top()};
    std::vector<int> columns{main.left()};
    for (const QRect& other : taken) {
        rows.push_back(other.bottom() + 1 + gap);
        columns.push_back(other.right() + 1 + gap);
    }
    // Beside the main window, only moved along its side to stay on the screen.
    const auto onScreenY = [&](int y) {
        return std::clamp(y, screen.top(),
                          std::max(screen.top(), screen.bottom() + 1 - size.height()));
    };
    const auto onScreenX = [&](int x) {
        return std::clamp(x, screen.left(),
                          std::max(screen.left(), screen.right() + 1 - size.width()));
    };
    std::vector<QPoint> candidates{KeptInside(screen, wanted, size)};
    for (const int x : {main.right() + 1 + gap, main.left() - gap - size.width()}) {
        for (const int y : rows) {
            candidates.emplace_back(x, onScreenY(y));
        }
    }
    for (const int x : columns) {
        candidates.emplace_back(onScreenX(x), main.bottom() + 1 + gap);
    }
    for (const QPoint candidate : candidates) {
        if (IsFree(QRect(candidate, size), screen, main, taken)) {
            return candidate;
        }
    }
    return KeptInside(screen, wanted, size);
}

void PlaceBeside(QWidget& window, const QWidget& mainWindow, DialogUnits offset) {
    const QRect client = mainWindow.geometry();
    const bool toTheLeft = offset.x < 0;
    const int x = toTheLeft
                      ? client.left() + ToPixels(window, {offset.x, 0}).width()
                      : client.right() + 1 +
                            ToPixels(window, {offset.x - CLASSIC_MAIN_WINDOW_WIDTH, 0}).width();
    const QPoint wanted(x, client.top() + ToPixels(window, {0, offset.y}).height());
    const QScreen* screen = mainWindow.screen();
    if (screen == nullptr) {
        window.move(wanted);
        return;
    }
    // The main window's other windows that are open now, such as an editor or the Hex Data.
    std::vector<QRect> taken;
    for (const QWidget* other : mainWindow.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != &window && other->isWindow() && other->isVisible()) {
            taken.push_back(other->frameGeometry());
        }
    }
    const int gap = ToPixels(window, {4, 0}).width();
    window.move(FreeSpot(screen->availableGeometry(), mainWindow.frameGeometry(), taken, wanted,
                         FramedSize(window, mainWindow), gap));
}

void FitFileDialog(QFileDialog& dialog, const QWidget* mainWindow) {
    // Room for the folder list and a long name beside the size, type and date.
    constexpr int CHARACTERS_ACROSS = 150;
    constexpr int LINES_DOWN = 26;
    const QFontMetrics metrics(dialog.font());
    QSize size(metrics.averageCharWidth() * CHARACTERS_ACROSS, metrics.height() * LINES_DOWN);
    if (mainWindow != nullptr && mainWindow->screen() != nullptr) {
        // The frame comes on top of the size: a tenth of the screen is left for it.
        size = size.boundedTo(mainWindow->screen()->availableGeometry().size() * 9 / 10);
    }
    dialog.resize(size);
    // The dialog sets its size and its columns as it is shown; once it is, it is centred over
    // the main window, on the screen, and no column is narrower than its title.
    QTimer::singleShot(0, &dialog, [&dialog, mainWindow] {
        if (mainWindow != nullptr && mainWindow->screen() != nullptr) {
            const QRect frame = dialog.frameGeometry();
            const QPoint centred =
                mainWindow->frameGeometry().center() - frame.center() + frame.topLeft();
            dialog.move(
                KeptInside(mainWindow->screen()->availableGeometry(), centred, frame.size()));
        }
        auto* view = dialog.findChild<QTreeView*>("treeView");
        if (view == nullptr) {
            return;
        }
        QHeaderView* header = view->header();
        for (int column = 0; column < header->count(); ++column) {
            header->resizeSection(
                column, std::max(header->sectionSize(column), header->sectionSizeHint(column)));
        }
    });
}

}  // namespace vek
