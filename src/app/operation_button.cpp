#include "operation_button.h"

#include <QKeyEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace vek {

namespace {

constexpr int ICON_SIZE = 32;
constexpr int TOP_MARGIN = 5;
constexpr int ICON_TEXT_GAP = 2;

}  // namespace

OperationButton::OperationButton(const QString& objectName, const QString& caption) {
    setObjectName(objectName);
    setText(caption);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(ICON_SIZE, ICON_SIZE));
    setFocusPolicy(Qt::StrongFocus);
}

void OperationButton::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    const QIcon buttonIcon = option.icon;
    // The style draws the panel and focus; the icon and caption are placed here.
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    const QRect iconArea((width() - ICON_SIZE) / 2, TOP_MARGIN, ICON_SIZE, ICON_SIZE);
    buttonIcon.paint(&painter, iconArea, Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const int textTop = iconArea.bottom() + 1 + ICON_TEXT_GAP;
    const QRect textArea(0, textTop, width(), height() - textTop);
    style()->drawItemText(&painter, textArea, Qt::AlignHCenter | Qt::AlignTop, palette(),
                          isEnabled(), caption, QPalette::ButtonText);
}

void OperationButton::keyPressEvent(QKeyEvent* event) {
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // The keypad's Enter carries the keypad modifier; with any other modifier it is no press.
    const bool unmodified = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!enterKey || !unmodified) {
        QToolButton::keyPressEvent(event);
        return;
    }
    event->accept();
    // A held key presses once, as with Space.
    if (!event->isAutoRepeat()) {
        click();
    }
}

}  // namespace vek
