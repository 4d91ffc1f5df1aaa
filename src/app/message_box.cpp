#include "message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QKeyEvent>
#include <QSpacerItem>

namespace vek {

namespace {

// Room in a title bar beside the title: the window's icon and its minimise, maximise and
// close buttons, with the gaps between them.
constexpr int TITLE_BAR_EXTRAS_WIDTH = 160;

// QMessageBox fits itself to its text and keeps only a little room for the title, so a short
// message left the title cut to its first letter. The title bar's font is the window
// manager's; a bold application font is a fair guess at it.
int WidthForTitle(const QString& title) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(title) + TITLE_BAR_EXTRAS_WIDTH;
}

}  // namespace

CopyableMessageBox::CopyableMessageBox(QMessageBox::Icon icon, const QString& text, QWidget* parent)
    : QMessageBox(icon, MESSAGE_TITLE, text, QMessageBox::Ok, parent) {
    // Messages are shown as written, never interpreted as markup.
    setTextFormat(Qt::PlainText);
    // The box takes its width from its layout's minimum when it is shown.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addItem(new QSpacerItem(WidthForTitle(windowTitle()), 0), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
}

QString CopyableMessageBox::PlainTextCopy() const {
    const QString separator = QStringLiteral("---------------------------\n");
    QString copy = separator + windowTitle() + '\n' + separator + text() + '\n' + separator;
    for (const QAbstractButton* button : buttons()) {
        copy += QString(button->text()).remove('&') + QStringLiteral("   ");
    }
    return copy + '\n' + separator;
}

void CopyableMessageBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(PlainTextCopy());
        return;
    }
    QMessageBox::keyPressEvent(event);
}

}  // namespace vek
