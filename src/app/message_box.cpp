#include "message_box.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

namespace vek {

CopyableMessageBox::CopyableMessageBox(QMessageBox::Icon icon, const QString& text, QWidget* parent)
    : QMessageBox(icon, MESSAGE_TITLE, text, QMessageBox::Ok, parent) {
    // Messages are shown as written, never interpreted as markup.
    setTextFormat(Qt::PlainText);
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
