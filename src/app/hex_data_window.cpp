#include "hex_data_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "window_placement.h"

namespace vek {

namespace {

// Size and place in dialog units: beside the main window, to its left, level with it.
constexpr DialogUnits WINDOW_SIZE{144, 106};
constexpr DialogUnits OFFSET_FROM_MAIN_WINDOW{-150, 0};

}  // namespace

HexDataWindow::HexDataWindow(QWidget* mainWindow) : QDialog(mainWindow) {
    setObjectName("hexDataWindow");
    setWindowTitle("Hex Data");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    list_ = new QListWidget(this);
    list_->setObjectName("hexDataList");
    list_->setAccessibleName("Hex Data");
    // Fixed-width digits keep the columns of every line under each other.
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setUniformItemSizes(true);
    // The list would copy only its current line; the person expects the selected ones.
    list_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(list_);

    resize(ToPixels(*this, WINDOW_SIZE).expandedTo(QSize(360, 240)));
    PlaceBeside(*this, *mainWindow, OFFSET_FROM_MAIN_WINDOW);
    show();
}

void HexDataWindow::SetLines(const std::vector<std::string>& lines) {
    list_->clear();
    QStringList items;
    items.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        items.append(QString::fromStdString(line));
    }
    list_->addItems(items);
    WidenToLongestLine();
    repaint();
}

// Wide enough for the longest line beside the vertical scroll bar, as far as the screen allows,
// and placed again where the wider window covers nothing.
void HexDataWindow::WidenToLongestLine() {
    const QMargins margins = layout()->contentsMargins();
    int width = list_->sizeHintForColumn(0) + 2 * list_->frameWidth() +
                list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins.left() +
                margins.right();
    if (const QScreen* shown = screen()) {
        width = std::min(width, shown->availableGeometry().width());
    }
    if (width <= this->width()) {
        return;
    }
    resize(width, height());
    PlaceBeside(*this, *parentWidget(), OFFSET_FROM_MAIN_WINDOW);
}

void HexDataWindow::Clear() {
    list_->clear();
    repaint();
}

QStringList HexDataWindow::Lines() const {
    QStringList lines;
    for (int row = 0; row < list_->count(); ++row) {
        lines.append(list_->item(row)->text());
    }
    return lines;
}

bool HexDataWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelectedLines();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void HexDataWindow::keyPressEvent(QKeyEvent* event) {
    // Enter means nothing here: the window has no button to press and must stay open.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        return;
    }
    QDialog::keyPressEvent(event);
}

// The selected lines in the list's order, one per line, as a person pastes them elsewhere.
void HexDataWindow::CopySelectedLines() const {
    QStringList selected;
    for (int row = 0; row < list_->count(); ++row) {
        if (list_->item(row)->isSelected()) {
            selected.append(list_->item(row)->text());
        }
    }
    if (!selected.isEmpty()) {
        QApplication::clipboard()->setText(selected.join('\n') + '\n');
    }
}

}  // namespace vek
